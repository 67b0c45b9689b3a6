// The web edition's worker: the lyricrtf program compiled to WebAssembly
// runs here, so that the page stays responsive and can stop a conversion by
// ending the worker. The page makes the worker from this script followed by
// the converter's. Templates lie in /templates and their pictures in
// /pictures of the converter's in-memory file system; a conversion works in
// /conversion, with a template of the user's own in /own.
//
// Messages from the page:
//   {type: 'convert', schedule: {name, bytes}, template: path,
//    own: {name, bytes} or null, limit: bytes}
// Messages to the page:
//   {type: 'ready', pictures: {name: ArrayBuffer}}
//   {type: 'named', name, renamed}   the document's name, before the run
//   {type: 'messages', text}         lines the program wrote, as it goes
//   {type: 'part', bytes}            the next piece of the document
//   {type: 'done', code, start}      the exit code; what the schedule is
//   {type: 'limit'}                  the document grew past the limit
//   {type: 'failed', message}        anything else that went wrong
'use strict';

let text = '';         // what the program wrote and the page has not seen
let shown = 0;         // when that went to the page last
let quiet = false;     // while the page's questions are asked: nothing shows
const decoder = new TextDecoder();
let written = null;   // the document being written: {path, part, used, total, limit}

// What the program writes to its error stream: a file here, as when it is
// redirected, so that it writes titles in large pieces. They go to the page
// a few times a second, whole lines only: a report of thousands of songs
// writes a title for each.
function writeMessages(buffer, offset, length) {
  if (!quiet) {
    text += decoder.decode(new Uint8Array(buffer.buffer, buffer.byteOffset + offset, length), { stream: true });
    if (performance.now() - shown > 100) showLines();
  }
  return length;
}

function showLines() {
  const end = text.lastIndexOf('\n');
  if (end < 0) return;
  postMessage({ type: 'messages', text: text.slice(0, end) });
  text = text.slice(end + 1);
  shown = performance.now();
}

// The document goes to the page in parts of a few MB as it is written, not
// into the file system: nothing grows by copies, and the limit is counted
// as the program writes.
const partSize = 4 * 1024 * 1024;

// A full part goes to the page as it is, without a copy, and the last one
// as a copy of what it holds. (Making each part a Blob here took three
// times as long.)
function sendPart() {
  if (!written.used) return;
  const bytes = written.used === partSize ? written.part.buffer : written.part.buffer.slice(0, written.used);
  postMessage({ type: 'part', bytes }, [bytes]);
  if (written.used === partSize) written.part = new Uint8Array(partSize);
  written.used = 0;
}

function writeDocument(buffer, offset, length) {
  written.total += length;
  if (written.total > written.limit) throw new Error('lyricrtf: output limit');
  let from = new Uint8Array(buffer.buffer, buffer.byteOffset + offset, length);
  while (from.length) {
    const room = partSize - written.used;
    written.part.set(from.subarray(0, room), written.used);
    written.used += Math.min(room, from.length);
    from = from.subarray(room);
    if (written.used === partSize) sendPart();
  }
  return length;
}

function clear(folder) {
  for (const name of FS.readdir(folder)) if (name !== '.' && name !== '..') FS.unlink(folder + '/' + name);
}

// The name that the program gives the document, unless that is the
// schedule's own: then NAME-lyrics with the same extension.
function documentName(template, schedule) {
  quiet = true;  // the template's warnings come with the run itself
  let name = Module.ccall('lyricrtf_document_name', 'string', ['string', 'string'], [template, schedule]);
  quiet = false;
  const renamed = name === schedule;
  if (renamed) name = name.replace(/^([^.]*)/, '$1-lyrics');
  return { name, renamed };
}

function convert({ schedule, template, own, limit }) {
  clear('/conversion');
  clear('/own');
  FS.chdir('/conversion');
  FS.writeFile(schedule.name, new Uint8Array(schedule.bytes), { canOwn: true });
  if (own) {
    template = '/own/' + own.name;
    FS.writeFile(template, new Uint8Array(own.bytes), { canOwn: true });
  }
  const { name, renamed } = documentName(template, schedule.name);
  postMessage({ type: 'named', name, renamed });
  shown = 0;  // the first titles show at once
  written = { path: '/conversion/' + name, part: new Uint8Array(partSize), used: 0, total: 0, limit };
  let code;
  try {
    code = Module.callMain(['-c', template, '-o', name, schedule.name]);
  } catch (error) {
    showLines();
    postMessage(/output limit/.test(error.message) ? { type: 'limit' } : { type: 'failed', message: String(error) });
    return;
  }
  showLines();
  sendPart();
  written = null;
  const start = code === 0 ? 0 : Module.ccall('lyricrtf_report_start', 'number', ['string'], [schedule.name]);
  postMessage({ type: 'done', code, start });
}

onmessage = (event) => {
  if (event.data.type === 'convert') convert(event.data);
};

var Module = {
  thisProgram: 'lyricrtf',
  noInitialRun: true,
  print: () => {},
  printErr: () => {},
  onRuntimeInitialized: () => {
    // What the program writes to the document's file comes here instead.
    const write = FS.write;
    FS.write = function (stream, buffer, offset, length, position, canOwn) {
      if (written && stream.path === written.path) return writeDocument(buffer, offset, length);
      if (stream.path === '/messages') return writeMessages(buffer, offset, length);
      return write.call(this, stream, buffer, offset, length, position, canOwn);
    };
    FS.close(FS.getStream(2));
    FS.open('/messages', 'w');  // the lowest free descriptor: 2
    FS.mkdir('/conversion');
    FS.mkdir('/own');
    const pictures = {};
    for (const name of FS.readdir('/pictures'))
      if (name.endsWith('.png')) pictures[name.slice(0, -4)] = FS.readFile('/pictures/' + name).buffer;
    postMessage({ type: 'ready', pictures });
  },
};
