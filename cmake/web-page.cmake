# Puts the web edition's page together: web/index.html with the page's
# style sheet and script, the worker's script and the converter (the
# program compiled to JavaScript and WebAssembly, one file with its
# templates and pictures) in place of their placeholders: one HTML file.
# Usage: cmake -DSOURCE=web -DENGINE=lyricrtf.js -DOUTPUT=lyricrtf.html -P web-page.cmake
file(READ ${SOURCE}/index.html page)
file(READ ${SOURCE}/style.css style)
file(READ ${SOURCE}/page.js script)
file(READ ${SOURCE}/worker.js worker)
file(READ ${ENGINE} engine)
# The converter and the worker's script stand in <script> elements as text,
# from which the page makes the worker: nothing in them may end one.
foreach(part worker engine)
  string(TOLOWER "${${part}}" lower)
  string(FIND "${lower}" "</script" found)
  if(NOT found EQUAL -1)
    message(FATAL_ERROR "${part} holds </script, which would end its element in the page")
  endif()
endforeach()
# The converter last, so that no placeholder is looked for inside it.
foreach(pair "@LYRICRTF_STYLE@|style" "@LYRICRTF_SCRIPT@|script" "@LYRICRTF_WORKER@|worker"
             "@LYRICRTF_ENGINE@|engine")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 placeholder)
  list(GET pair 1 part)
  string(FIND "${page}" "${placeholder}" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "web/index.html lacks ${placeholder}")
  endif()
  string(REPLACE "${placeholder}" "${${part}}" page "${page}")
endforeach()
file(WRITE ${OUTPUT} "${page}")
