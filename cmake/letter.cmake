# Makes a template's US Letter edition from the template itself, so that
# there is one file to keep: the A4 paper of its Paper definition becomes
# Letter, and a first line tells where the file comes from.
# Usage: cmake -DSOURCE=booklet.dat -DOUTPUT=booklet-letter.dat -P letter.cmake
file(READ ${SOURCE} text)
get_filename_component(source_name ${SOURCE} NAME)
get_filename_component(output_name ${OUTPUT} NAME)
foreach(pair "\\paperw11906|\\paperw12240" "\\paperh16838|\\paperh15840"
             "for the whole document: A4.|for the whole document: US Letter.")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 a4)
  list(GET pair 1 letter)
  # Each must stand in the file once, where the paper is defined.
  string(FIND "${text}" "${a4}" first)
  string(FIND "${text}" "${a4}" last REVERSE)
  if(first EQUAL -1 OR NOT first EQUAL last)
    message(FATAL_ERROR "${SOURCE}: \"${a4}\" must stand once, in the Paper definition")
  endif()
  string(REPLACE "${a4}" "${letter}" text "${text}")
endforeach()
file(WRITE ${OUTPUT} "${output_name} - ${source_name} on US Letter paper, made from it when lyricrtf
was built: a change belongs in ${source_name}, or in a copy of this file.

${text}")
