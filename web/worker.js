// The web edition's worker: the lyricrtf program compiled to WebAssembly
// runs here, so that the page stays responsive and can stop a conversion by
// ending the worker. The page makes the worker from this script followed by
// the converter's. Templates lie in /templates and their pictures in
// /pictures of the converter's in-memory file system; a conversion works in
// /conversion, with a template of the user's own in /own.
//
// Messages from the page:
//   {type: 'convert', schedule: {name, bytes}, template: path,
//    own: {name, bytes} or null, limit: bytes, anyway: bool}
// Messages to the page:
//   {type: 'ready', pictures: {name: ArrayBuffer}, facts}
//   {type: 'named', name, documentType, renamed}   the document, before the run
//   {type: 'messages', text}         lines the program wrote, as it goes
//   {type: 'part', bytes}            the next piece of the document
//   {type: 'done', code, start}      the exit code; what the schedule is
//   {type: 'limit'}                  the document grew past the limit
//   {type: 'failed', message}        anything else that went wrong
// The program's own facts (its exit codes, what a schedule may be) come
// from lyricrtf_facts, and every rule of a conversion from the program.
'use strict';

let text = '';  // what the program wrote and the page has not seen
const decoder = new TextDecoder();
let written = null;   // the document being written: {path, part, used, total, limit}

// What the program writes to its error stream: a file here, as when it is
// redirected. The program lets titles wait a tenth of a second at most and
// writes them together; they go to the page as they come, whole lines
// only.
function writeMessages(buffer, offset, length) {
  text += decoder.decode(
      new Uint8Array(buffer.buffer, buffer.byteOffset + offset, length), {stream: true});
  showLines();
  return length;
}

function showLines() {
  const end = text.lastIndexOf('\n');
  if (end < 0) return;
  postMessage({ type: 'messages', text: text.slice(0, end) });
  text = text.slice(end + 1);
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

const call = (name, returns, ...args) =>
    Module.ccall(name, returns, args.map(() => 'string'), args);

// The schedule lies in /conversion under the user's own name, and the
// program takes it from the page without a command line: a name such as
// "-dash.txt", or one of any length, is never read as an option or
// refused.
function convert({schedule, template, own, limit, anyway}) {
  clear('/conversion');
  clear('/own');
  FS.chdir('/conversion');
  FS.writeFile(schedule.name, new Uint8Array(schedule.bytes), { canOwn: true });
  // Saved as UTF-16 or without the mark: read as the file saved rightly.
  if (anyway) call('lyricrtf_mark', 'number', schedule.name);
  if (own) {
    template = '/own/' + own.name;
    FS.writeFile(template, new Uint8Array(own.bytes), { canOwn: true });
  }
  const document = JSON.parse(call('lyricrtf_document', 'string', template, schedule.name));
  postMessage(
      {type: 'named', name: document.name, documentType: document.type, renamed: document.renamed});
  written = {
    path: '/conversion/' + document.name,
    part: new Uint8Array(partSize),
    used: 0,
    total: 0,
    limit
  };
  let code;
  try {
    code = call('lyricrtf_convert', 'number', template, schedule.name, document.name);
  } catch (error) {
    showLines();
    postMessage(/output limit/.test(error.message) ? { type: 'limit' } : { type: 'failed', message: String(error) });
    return;
  }
  showLines();
  sendPart();
  written = null;
  const start = call('lyricrtf_report_start', 'string', schedule.name);
  postMessage({ type: 'done', code, start });
}

onmessage = (event) => {
  if (event.data.type === 'convert') convert(event.data);
};

var Module = {
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
      if (name.endsWith('.png'))
        pictures[name.slice(0, -4)] = FS.readFile('/pictures/' + name).buffer;
    postMessage({type: 'ready', pictures, facts: JSON.parse(call('lyricrtf_facts', 'string'))});
  },
};
