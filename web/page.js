// The web edition's script. The converter is the lyricrtf program itself,
// compiled to WebAssembly; this script puts the schedule into its in-memory
// file system, in the current folder under its own name, runs the program's
// main with `-c TEMPLATE -o NAME.rtf NAME.txt`, and offers what it wrote.
// The gallery's templates lie in /templates and their pictures in
// /pictures, built into the page.
'use strict';

const page = {
  form: document.getElementById('form'),
  schedule: document.getElementById('schedule'),
  template: document.getElementById('template'),
  own: document.getElementById('own-template'),
  ownName: document.getElementById('own-name'),
  forgetOwn: document.getElementById('forget-own'),
  picture: document.getElementById('picture'),
  caption: document.getElementById('picture-caption'),
  convert: document.getElementById('convert'),
  status: document.getElementById('status'),
  result: document.getElementById('result'),
  outcome: document.getElementById('outcome'),
  download: document.getElementById('download'),
  messages: document.getElementById('messages'),
  preview: document.getElementById('preview'),
};

let schedule = null;  // the File to convert
let lines = [];       // what the program writes on its streams, line by line
let urls = [];        // object URLs of the last result, let go at the next

// The program's exit codes in words.
const outcomes = {
  0: 'Done: the conversion ran to its end.',
  1: 'Nothing was converted: no command line was given.',
  2: 'Nothing was converted: no schedule was named.',
  12: 'Stopped: the conversion failed, as the messages say. No document was made.',
};

var Module = {
  thisProgram: 'lyricrtf',
  noInitialRun: true,
  print: (line) => lines.push(line),
  printErr: (line) => lines.push(line),
  onRuntimeInitialized: () => {
    FS.mkdir('/conversion');
    FS.mkdir('/own');
    showPicture();
    ready();
  },
};

function ready() {
  page.convert.disabled = !schedule;
  setStatus(schedule ? 'Ready to convert ' + schedule.name + '.' : 'Pick a schedule to begin.', false);
}

function setStatus(text, busy) {
  page.status.textContent = text;
  page.status.setAttribute('aria-busy', busy ? 'true' : 'false');
}

function objectUrl(blob) {
  const url = URL.createObjectURL(blob);
  urls.push(url);
  return url;
}

function showPicture() {
  const name = page.template.value;
  const bytes = FS.readFile('/pictures/' + name + '.png');
  page.picture.src = URL.createObjectURL(new Blob([bytes], { type: 'image/png' }));
  const label = page.template.selectedOptions[0].textContent;
  page.picture.alt = 'The first page of the sample made with the template ' + label;
  page.caption.textContent = name + '.dat';
}

function chooseSchedule(file) {
  schedule = file || null;
  if (typeof FS !== 'undefined') ready();
}

// What the template declares it writes, by its last format line, for the
// document's extension; the gallery's are known.
async function extensionOf(template) {
  if (!template) return page.template.value === 'web' ? '.html' : '.rtf';
  const text = await template.text();
  const declared = [...text.matchAll(/^%#(rtf|html|text)\r?$/gim)].pop();
  return declared ? { rtf: '.rtf', html: '.html', text: '.txt' }[declared[1].toLowerCase()] : '.rtf';
}

function clear(folder) {
  for (const name of FS.readdir(folder)) if (name !== '.' && name !== '..') FS.unlink(folder + '/' + name);
}

async function convert(event) {
  event.preventDefault();
  if (!schedule) return;
  page.convert.disabled = true;
  setStatus('Converting ' + schedule.name + '…', true);
  // Let the page show that it is working before the conversion holds it.
  await new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));

  const own = page.own.files[0];
  clear('/conversion');
  clear('/own');
  FS.writeFile('/conversion/' + schedule.name, new Uint8Array(await schedule.arrayBuffer()));
  let template = '/templates/' + page.template.value + '.dat';
  if (own) {
    template = '/own/' + own.name;
    FS.writeFile(template, new Uint8Array(await own.arrayBuffer()));
  }
  // As the program names the document: the schedule's name up to its first '.'.
  const output = schedule.name.split('.')[0] + (await extensionOf(own));
  FS.chdir('/conversion');
  lines = [];
  const started = performance.now();
  const code = Module.callMain(['-c', template, '-o', output, schedule.name]);
  const seconds = (performance.now() - started) / 1000;
  show(code, output, seconds);
  ready();
}

function show(code, output, seconds) {
  for (const url of urls) URL.revokeObjectURL(url);
  urls = [];
  page.result.hidden = false;
  const took = seconds < 1 ? Math.round(seconds * 1000) + ' ms' : seconds.toFixed(1) + ' s';
  page.outcome.textContent = (outcomes[code] || 'Stopped with exit code ' + code + '.') +
      (code === 0 ? ' It took ' + took + '.' : '');
  page.messages.textContent = lines.join('\n');
  const fatal = lines.some((line) => line.startsWith('Fatal: '));
  const written = !fatal && FS.analyzePath('/conversion/' + output).exists;
  page.download.hidden = !written;
  page.preview.hidden = true;
  page.preview.removeAttribute('src');
  if (written) {
    const bytes = FS.readFile('/conversion/' + output);
    const type = output.endsWith('.html') ? 'text/html' : output.endsWith('.rtf') ? 'application/rtf' : 'text/plain';
    page.download.href = objectUrl(new Blob([bytes], { type }));
    page.download.download = output;
    page.download.textContent = 'Download ' + output;
    if (type === 'text/html') {
      page.preview.src = page.download.href;
      page.preview.hidden = false;
    }
  } else {
    page.download.removeAttribute('href');
  }
  page.result.scrollIntoView({ block: 'nearest' });
}

page.schedule.addEventListener('change', () => chooseSchedule(page.schedule.files[0]));
page.template.addEventListener('change', showPicture);
page.own.addEventListener('change', () => {
  const own = page.own.files[0];
  page.ownName.textContent = own ? 'Using ' + own.name + ' instead of the choice above.' : '';
  page.forgetOwn.hidden = !own;
  page.template.disabled = !!own;
});
page.forgetOwn.addEventListener('click', () => {
  page.own.value = '';
  page.own.dispatchEvent(new Event('change'));
  page.template.focus();
});
page.form.addEventListener('submit', convert);

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
