// The web edition's script. The converter is the lyricrtf program itself,
// compiled to WebAssembly, in a worker that this script makes from the
// worker's script and the converter's, both in the page: the page stays
// responsive while it converts, and Stop ends the worker and makes a new
// one. The worker asks the program for the document's name, runs its main
// with `-c TEMPLATE -o NAME SCHEDULE`, and hands over the lines it writes
// and the document as they come.
'use strict';

const page = {
  form: document.getElementById('form'),
  schedule: document.getElementById('schedule'),
  template: document.getElementById('template'),
  paper: document.getElementById('paper'),
  own: document.getElementById('own-template'),
  ownName: document.getElementById('own-name'),
  forgetOwn: document.getElementById('forget-own'),
  picture: document.getElementById('picture'),
  caption: document.getElementById('picture-caption'),
  convert: document.getElementById('convert'),
  stop: document.getElementById('stop'),
  status: document.getElementById('status'),
  outcome: document.getElementById('outcome'),
  remedy: document.getElementById('remedy'),
  remedyText: document.getElementById('remedy-text'),
  anyway: document.getElementById('convert-anyway'),
  download: document.getElementById('download'),
  messages: document.getElementById('messages'),
  previewBox: document.getElementById('preview-box'),
  preview: document.getElementById('preview'),
  print: document.getElementById('print'),
};

// The most a document may grow to: far more than any service makes, and
// what a browser holds twice (the parts and the download) without failing.
const limit = 256 * 1024 * 1024;
// A web page larger than this is offered for download, not shown.
const previewLimit = 8 * 1024 * 1024;
// Messages shows the last lines the program wrote, this many at most: a
// report of thousands of songs has a title for each, and laying out all of
// them took the page longer than the conversion.
const shownLines = 1000;

let schedule = null;  // {name, bytes} to convert
let worker = null;    // the converter, once it is ready
let pictures = {};    // the templates' first pages, by name
let run = null;       // the conversion under way: {started, name, renamed, parts}
let url = null;       // the last document's object URL, let go at the next
let start = 0;        // what the last schedule that failed is (remedies)
let messages = { lines: [], earlier: 0, drawn: true };  // what Messages shows

// The program's exit codes in words.
const outcomes = {
  0: 'Done: the conversion ran to its end.',
  1: 'Nothing was converted: no command line was given.',
  2: 'Nothing was converted: no schedule was named.',
  12: 'Stopped: the conversion failed, as the messages say. No document was made.',
};

// What the schedule is when the program finds no byte-order mark at its
// start (the program's own words are in the messages), by the number the
// converter gives: 1 UTF-16, 2 UTF-8 without the mark, 3 empty, 4 a
// document, 5 anything else. Only the first two can be converted anyway.
const remedies = {
  1: 'The schedule was saved as UTF-16 ("Unicode"). Save it again with the encoding "UTF-8 with BOM", or convert it anyway: this page then reads it as that.',
  2: 'The schedule is UTF-8 text without its byte-order mark, as Notepad\'s plain "UTF-8" saves it. Save it again with the encoding "UTF-8 with BOM", or convert it anyway: this page then adds the mark.',
  3: 'The schedule is empty. Save the "Schedule Detail" report into it again, with the encoding "UTF-8 with BOM".',
  4: 'This is a document, not the schedule report. Pick the report\'s text file instead.',
  5: 'The schedule is not text in UTF-8. Save the "Schedule Detail" report again as text, with the encoding "UTF-8 with BOM".',
};

function setStatus(text, busy) {
  page.status.textContent = text;
  page.status.setAttribute('aria-busy', busy ? 'true' : 'false');
}

function ready() {
  page.convert.disabled = !schedule || !worker || !!run;
  page.stop.disabled = !run;
  if (!run) setStatus(!worker ? 'Loading the converter…' : schedule ? 'Ready to convert ' + schedule.name + '.' : 'Pick a schedule to begin.', !worker);
}

// A new converter: the worker's script followed by the converter's.
function startWorker() {
  worker = null;
  const source = document.getElementById('worker-script').textContent + document.getElementById('engine-script').textContent;
  const next = new Worker(URL.createObjectURL(new Blob([source], { type: 'text/javascript' })));
  next.onmessage = (event) => heard(next, event.data);
  next.onerror = (event) => { event.preventDefault(); finish('Stopped: the converter failed (' + event.message + '). No document was made.'); };
  ready();
}

function heard(from, message) {
  switch (message.type) {
    case 'ready':
      worker = from;
      pictures = message.pictures;
      showPicture();
      ready();
      break;
    case 'named':
      run.name = message.name;
      run.renamed = message.renamed;
      break;
    case 'messages':
      addMessages(message.text.split('\n'));
      break;
    case 'part':
      run.parts.push(message.bytes);
      break;
    case 'done':
      done(message.code, message.start);
      break;
    case 'limit':
      restart('Stopped: the document grew past ' + limit / 1024 / 1024 + ' MB, more than this page can hold. The template expands without end, or the report is huge: check the template, or convert with the lyricrtf program.');
      break;
    case 'failed':
      restart('Stopped: the converter failed (' + message.message + '). No document was made.');
      break;
  }
}

function addMessages(lines) {
  messages.lines.push(...lines);
  const over = messages.lines.length - shownLines;
  if (over > 0) {
    messages.lines.splice(0, over);
    messages.earlier += over;
  }
  if (!messages.drawn) return;
  messages.drawn = false;
  requestAnimationFrame(drawMessages);
}

function drawMessages() {
  const earlier = messages.earlier ? `(${messages.earlier} earlier lines are not shown)\n` : '';
  page.messages.textContent = earlier + messages.lines.join('\n');
  messages.drawn = true;
}

function templateName() {
  const option = page.template.selectedOptions[0];
  return option.value + (option.hasAttribute('data-paper') ? page.paper.value : '');
}

function showPicture() {
  const name = page.template.value;
  const paper = page.template.selectedOptions[0].hasAttribute('data-paper');
  page.paper.disabled = !paper || !!page.own.files[0];
  if (!pictures[name]) return;
  page.picture.src = URL.createObjectURL(new Blob([pictures[name]], { type: 'image/png' }));
  const label = page.template.selectedOptions[0].textContent;
  page.picture.alt = 'The first page of the sample made with the template ' + label;
  page.caption.textContent = templateName() + '.dat';
}

// The schedule is read before Convert is offered for it: until then a
// click would convert the one picked before.
let choices = 0;
async function chooseSchedule(file) {
  const choice = ++choices;
  schedule = null;
  ready();
  const bytes = file ? await file.arrayBuffer() : null;
  if (choice !== choices) return;  // another was picked meanwhile
  schedule = file ? { name: file.name, bytes } : null;
  ready();
}

function clearResult() {
  if (url) URL.revokeObjectURL(url);
  url = null;
  page.download.hidden = true;
  page.download.removeAttribute('href');
  page.remedy.hidden = true;
  page.previewBox.hidden = true;
  page.preview.removeAttribute('srcdoc');
  messages = { lines: [], earlier: 0, drawn: true };
  page.messages.textContent = '';
}

async function convert(event) {
  if (event) event.preventDefault();
  if (!schedule || !worker || run) return;
  clearResult();
  const own = page.own.files[0];
  run = { started: performance.now(), name: null, renamed: false, parts: [] };
  page.outcome.textContent = 'Converting ' + schedule.name + '…';
  setStatus('Converting ' + schedule.name + '…', true);
  ready();
  page.stop.focus();
  // The worker gets its own copy of the schedule: the page keeps one for
  // another conversion.
  const bytes = schedule.bytes.slice(0);
  worker.postMessage({
    type: 'convert', schedule: { name: schedule.name, bytes }, limit,
    template: '/templates/' + templateName() + '.dat',
    own: own ? { name: own.name, bytes: await own.arrayBuffer() } : null,
  }, [bytes]);
}

function took() {
  const seconds = (performance.now() - run.started) / 1000;
  return seconds < 1 ? Math.round(seconds * 1000) + ' ms' : seconds.toFixed(1) + ' s';
}

// The end of a run, whatever ended it: the outcome is shown and said, and
// the keyboard goes on from it.
function finish(outcome) {
  drawMessages();
  const focused = document.activeElement === page.stop || document.activeElement === document.body;
  run = null;
  page.outcome.textContent = outcome;
  ready();
  if (focused) page.outcome.focus();
}

function done(code, kind) {
  start = kind;
  const name = run.name;
  if (code === 0) offer(name, run.parts);
  let outcome = (outcomes[code] || 'Stopped with exit code ' + code + '.');
  if (code === 0) outcome += ' It took ' + took() + '.';
  if (code === 0 && run.renamed)
    outcome += ' The document is named ' + name + ', since ' + schedule.name + ' is the schedule itself.';
  if (code !== 0 && remedies[start]) {
    page.remedyText.textContent = remedies[start];
    page.anyway.hidden = start !== 1 && start !== 2;
    page.remedy.hidden = false;
  }
  finish(outcome);
}

function offer(name, parts) {
  const type = name.endsWith('.html') ? 'text/html' : name.endsWith('.rtf') ? 'application/rtf' : 'text/plain';
  const blob = new Blob(parts, { type });
  url = URL.createObjectURL(blob);
  page.download.href = url;
  page.download.download = name;
  page.download.textContent = 'Download ' + name;
  page.download.hidden = false;
  if (type === 'text/html' && blob.size <= previewLimit) {
    blob.text().then((text) => {
      page.preview.srcdoc = text;
      page.previewBox.hidden = false;
    });
  }
}

// Ends the worker, and with it any conversion, and makes a new one.
function restart(outcome) {
  if (worker) worker.terminate();
  finish(outcome);
  startWorker();
}

function stop() {
  if (run) restart('Stopped: you stopped the conversion after ' + took() + '. No document was made.');
}

// The schedule as UTF-8 with its byte-order mark, as a correctly saved
// file holds it: from UTF-16 in either byte order, with its mark or
// without, or from UTF-8 without the mark.
function withMark(bytes, start) {
  const b = new Uint8Array(bytes);
  let text;
  if (start === 1) {
    const big = (b[0] === 0xFE && b[1] === 0xFF) || (!(b[0] === 0xFF && b[1] === 0xFE) && b[0] === 0);
    text = new TextEncoder().encode(new TextDecoder(big ? 'utf-16be' : 'utf-16le').decode(b));
  } else {
    text = b;
  }
  const marked = new Uint8Array(text.length + 3);
  marked.set([0xEF, 0xBB, 0xBF]);
  marked.set(text, 3);
  return marked.buffer;
}

page.anyway.addEventListener('click', () => {
  schedule = { name: schedule.name, bytes: withMark(schedule.bytes, start) };
  convert();
});
page.schedule.addEventListener('change', () => chooseSchedule(page.schedule.files[0]));
page.template.addEventListener('change', showPicture);
page.paper.addEventListener('change', showPicture);
page.own.addEventListener('change', () => {
  const own = page.own.files[0];
  page.ownName.textContent = own ? 'Using ' + own.name + ' instead of the choice above.' : '';
  page.forgetOwn.hidden = !own;
  page.template.disabled = !!own;
  showPicture();
});
page.forgetOwn.addEventListener('click', () => {
  page.own.value = '';
  page.own.dispatchEvent(new Event('change'));
  page.template.focus();
});
page.form.addEventListener('submit', convert);
page.stop.addEventListener('click', stop);
page.print.addEventListener('click', () => page.preview.contentWindow.print());

// A schedule dropped anywhere on the page.
document.addEventListener('dragover', (event) => {
  event.preventDefault();
  document.body.classList.add('dragging');
});
document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
document.addEventListener('drop', (event) => {
  event.preventDefault();
  document.body.classList.remove('dragging');
  const file = event.dataTransfer.files[0];
  if (!file) return;
  page.schedule.files = event.dataTransfer.files;  // the file input shows its name
  chooseSchedule(file);
});

startWorker();
