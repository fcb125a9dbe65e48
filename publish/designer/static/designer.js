// The designer's page: sends the design to the server after each change
// (debounced), shows make-disc's refusals beside their fields, and polls
// the server for the preview and the disc jobs.
"use strict";

(function () {
  const token = document.querySelector('meta[name="designer-token"]').content;
  const uploadLimit = Number(document.querySelector('meta[name="designer-upload-limit"]').content);
  const TEXT_FIELDS = ["product", "version", "company", "copyright", "autoplay_text", "label",
                       "installer", "password"];
  const UPLOADS = ["splash", "icon", "certificate"];
  const ALERT_FIELDS = TEXT_FIELDS.concat(UPLOADS, ["languages", "systems", "general"]);
  // Typing makes a change a key: the design goes once typing pauses.
  const DEBOUNCE_MS = 350;
  const POLL_MS = 700;

  const uploads = { splash: null, icon: null, certificate: null };
  const uploadFindings = { splash: [], icon: [] };
  // Alerts by their source: the design's check, the preview's build, an
  // upload, a disc job. A field shows the first it has.
  const alerts = { design: {}, preview: {}, upload: {}, job: {} };
  let changeTimer = null;
  let shownPreview = null;
  let shownJob = null;

  const $ = (id) => document.getElementById(id);

  async function api(method, path, body) {
    const options = { method: method, headers: { "X-Designer-Token": token } };
    if (body instanceof FormData) {
      options.body = body;
    } else if (body !== undefined) {
      options.headers["Content-Type"] = "application/json";
      options.body = JSON.stringify(body);
    }
    const response = await fetch(path, options);
    let data = {};
    try {
      data = await response.json();
    } catch (error) {
      data = { error: "designer: the server's answer was no JSON (" + response.status + ")" };
    }
    return { status: response.status, data: data };
  }

  function checked(name) {
    return Array.from(document.querySelectorAll('input[name="' + name + '"]:checked'))
      .map((box) => box.value);
  }

  function design() {
    const result = {};
    for (const field of TEXT_FIELDS) {
      result[field] = $(field).value;
    }
    for (const kind of UPLOADS) {
      result[kind] = uploads[kind];
    }
    result.languages = checked("languages");
    result.systems = checked("systems");
    return result;
  }

  // --- Alerts -----------------------------------------------------------

  function showAlerts() {
    for (const field of ALERT_FIELDS) {
      const element = $(field + "-alert");
      const text = alerts.upload[field] || alerts.design[field] || alerts.preview[field] ||
        alerts.job[field] || "";
      if (element.textContent !== text) {
        element.textContent = text;
      }
      element.hidden = text === "";
      const control = $(field);
      if (control && control.setAttribute) {
        if (text) {
          control.setAttribute("aria-invalid", "true");
        } else {
          control.removeAttribute("aria-invalid");
        }
      }
    }
  }

  function alertsOf(refusals) {
    const found = {};
    for (const refusal of refusals || []) {
      if (!found[refusal.field]) {
        found[refusal.field] = refusal.text;
      }
    }
    return found;
  }

  // --- The design, after each change --------------------------------------

  function changed() {
    clearTimeout(changeTimer);
    changeTimer = setTimeout(sendDesign, DEBOUNCE_MS);
  }

  async function sendDesign() {
    let answer;
    try {
      answer = await api("POST", "/api/design", design());
    } catch (error) {
      alerts.design = { general: "designer: the designer does not answer: is it still running?" };
      showAlerts();
      return;
    }
    if (answer.status === 200) {
      alerts.design = alertsOf(answer.data.refusals);
      // The preview's and a disc job's refusals were of the design before.
      alerts.preview = {};
      alerts.job = {};
    } else {
      alerts.design = { general: answer.data.error || "designer: the design was refused" };
    }
    showAlerts();
    poll();
  }

  for (const field of TEXT_FIELDS) {
    $(field).addEventListener("input", changed);
  }
  for (const box of document.querySelectorAll('input[name="languages"], input[name="systems"]')) {
    box.addEventListener("change", changed);
  }

  // --- Uploads ------------------------------------------------------------

  function showFindings(kind, lines) {
    const list = $(kind + "-findings");
    if (!list) {
      return;
    }
    list.replaceChildren(...lines.map((line) => {
      const item = document.createElement("li");
      item.textContent = line;
      return item;
    }));
  }

  async function upload(kind) {
    const input = $(kind);
    const file = input.files[0];
    alerts.upload[kind] = "";
    if (!file) {
      return;
    }
    const setting = kind === "certificate" ? "--sign" : "--" + kind;
    if (file.size > uploadLimit) {
      alerts.upload[kind] = setting + ": refused: the file is larger than the " +
        (uploadLimit >> 20) + " MiB the designer takes";
      input.value = "";
      showAlerts();
      return;
    }
    const form = new FormData();
    form.append("file", file, file.name);
    let answer;
    try {
      answer = await api("POST", "/api/upload/" + kind, form);
    } catch (error) {
      alerts.upload[kind] = "designer: the upload did not reach the designer";
      showAlerts();
      return;
    }
    if (answer.status === 200) {
      uploads[kind] = answer.data.id;
      if (kind in uploadFindings) {
        uploadFindings[kind] = answer.data.findings || [];
        showFindings(kind, uploadFindings[kind]);
      }
    } else {
      const refusal = answer.data.refusal;
      alerts.upload[kind] = refusal ? refusal.text : (answer.data.error || "designer: refused");
      input.value = "";
    }
    showAlerts();
    changed();
  }

  for (const kind of UPLOADS) {
    $(kind).addEventListener("change", () => upload(kind));
  }
  for (const button of document.querySelectorAll("button[data-clear]")) {
    button.addEventListener("click", () => {
      const kind = button.dataset.clear;
      uploads[kind] = null;
      $(kind).value = "";
      alerts.upload[kind] = "";
      if (kind in uploadFindings) {
        uploadFindings[kind] = [];
        showFindings(kind, []);
      }
      showAlerts();
      changed();
    });
  }

  // --- The installer folder's chooser ---------------------------------------

  let chooserPath = "";

  async function listFolder(path) {
    const answer = await api("GET", "/api/folders?path=" + encodeURIComponent(path));
    const alert = $("chooser-alert");
    if (answer.status !== 200) {
      alert.textContent = answer.data.error || "designer: the folder cannot be listed";
      alert.hidden = false;
      return;
    }
    alert.hidden = true;
    alert.textContent = "";
    chooserPath = answer.data.path;
    $("chooser-path").textContent = chooserPath;
    const entries = [];
    if (answer.data.parent) {
      entries.push(["..", answer.data.parent, "Up to " + answer.data.parent]);
    }
    for (const name of answer.data.folders) {
      entries.push([name, chooserPath.replace(/\/$/, "") + "/" + name, "Open " + name]);
    }
    $("chooser-list").replaceChildren(...entries.map(([name, path, label]) => {
      const item = document.createElement("li");
      const button = document.createElement("button");
      button.type = "button";
      button.textContent = name;
      button.setAttribute("aria-label", label);
      button.addEventListener("click", () => listFolder(path));
      item.append(button);
      return item;
    }));
    const first = $("chooser-list").querySelector("button") || $("chooser-take");
    first.focus();
  }

  $("browse").addEventListener("click", () => {
    $("chooser").showModal();
    listFolder($("installer").value);
  });
  $("chooser-take").addEventListener("click", () => {
    $("installer").value = chooserPath;
    $("chooser").close();
    $("installer").focus();
    changed();
  });
  $("chooser-cancel").addEventListener("click", () => {
    $("chooser").close();
    $("browse").focus();
  });

  // --- Make and try -------------------------------------------------------

  async function startJob(kind) {
    clearTimeout(changeTimer);
    const body = design();
    if (kind === "try") {
      body.versions = checked("versions");
    }
    let answer;
    try {
      answer = await api("POST", "/api/" + kind, body);
    } catch (error) {
      alerts.job = { general: "designer: the designer does not answer: is it still running?" };
      showAlerts();
      return;
    }
    alerts.job = {};
    if (answer.status === 422) {
      alerts.design = alertsOf(answer.data.refusals);
    } else if (answer.status !== 202) {
      alerts.job = { general: answer.data.error || "designer: refused" };
    }
    showAlerts();
    poll();
  }

  $("make").addEventListener("click", () => startJob("make"));
  $("try").addEventListener("click", () => startJob("try"));

  // --- What the server says -----------------------------------------------

  function element(tag, text, attributes) {
    const made = document.createElement(tag);
    if (text !== undefined && text !== null) {
      made.textContent = text;
    }
    for (const [name, value] of Object.entries(attributes || {})) {
      made.setAttribute(name, value);
    }
    return made;
  }

  function showPreview(state) {
    const status = $("preview-status");
    let text;
    if (state.state === "waiting") {
      text = "Waiting for the changes to settle…";
    } else if (state.state === "building") {
      text = "Drawing: " + (state.step || "building the launcher") + "…";
    } else if (state.state === "ready") {
      text = "The launcher as " + state.system + " shows it, drawn in " + state.seconds +
        " s (" + state.since_change + " s after the last change).";
    } else if (state.state === "refused") {
      text = "Not drawn: the disc command refuses the design (see the field marked)." +
        (shownPreview === null ? "" : " The pictures show the last design it took.");
    } else if (state.state === "failed") {
      text = state.error;
    } else {
      text = "Drawing the launcher…";
    }
    if (status.textContent !== text) {
      status.textContent = text;
    }
    alerts.preview = {};
    if (state.state === "refused" && state.refusal) {
      alerts.preview[state.refusal.field] = state.refusal.text;
    }
    for (const kind of ["splash", "icon"]) {
      const found = state.findings && state.findings[kind];
      showFindings(kind, found && found.length ? found : uploadFindings[kind]);
    }
    if (state.state === "ready" && state.shown !== shownPreview) {
      shownPreview = state.shown;
      $("preview-pictures").replaceChildren(...state.pictures.map((picture) => {
        const figure = element("figure");
        figure.append(element("img", null, {
          src: picture.url, width: "630", height: "427",
          alt: "Preview of the launcher in " + picture.language + " (" + picture.code +
            "), as " + state.system + " shows it",
        }));
        figure.append(element("figcaption", picture.language));
        return figure;
      }));
    }
  }

  function showProgress(id, job, running) {
    const bar = $(id);
    bar.hidden = !running;
    if (!running) {
      return;
    }
    const progress = job.progress;
    const what = (progress && progress.what) || job.step || "starting";
    if (progress && typeof progress.overall === "number") {
      const percent = Math.round(progress.overall * 100);
      bar.setAttribute("aria-valuenow", String(percent));
      bar.setAttribute("aria-valuetext", what + ": " + percent + "%");
      bar.querySelector(".bar").style.width = percent + "%";
      bar.querySelector(".what").textContent = what + ": " + percent + "%";
    } else {
      bar.removeAttribute("aria-valuenow");
      bar.setAttribute("aria-valuetext", what);
      bar.querySelector(".bar").style.width = "0";
      bar.querySelector(".what").textContent = job.step || what;
    }
  }

  function showMade(made) {
    const box = $("make-result");
    if (!made) {
      box.replaceChildren();
      return;
    }
    const list = element("dl");
    const rows = [
      ["Image", null], ["Size", made.size.toLocaleString("en") + " bytes"],
      ["Label", made.label], ["Media", made.media], ["CRC-32", made.crc32],
      ["SHA-256", made.sha256],
    ];
    for (const [name, value] of rows) {
      list.append(element("dt", name));
      const cell = element("dd", value);
      if (name === "Image") {
        cell.append(element("a", "Download " + made.name, { href: made.image, download: made.name }));
      }
      list.append(cell);
    }
    const report = element("p");
    report.append(element("a", "The disc's report", { href: made.report }));
    const text = element("pre", made.report_text, { class: "report" });
    box.replaceChildren(element("h3", "The disc"), list, report, text);
  }

  function openLarge(title, url) {
    $("large-heading").textContent = title;
    $("large-picture").src = url;
    $("large-picture").alt = title;
    $("large").showModal();
    $("large-close").focus();
  }

  $("large-close").addEventListener("click", () => $("large").close());

  function showTrial(result) {
    const box = $("try-result");
    if (!result) {
      box.replaceChildren();
      return;
    }
    const sheet = element("img", null, { src: result.sheet, class: "sheet",
      alt: "The trial's sheet: the launcher on each version tried, with its verdict" });
    const table = element("table");
    table.append(element("caption", result.summary));
    const head = element("tr");
    for (const name of ["Version", "Language", "What appeared", "SETUP.EXE", "Signature",
                        "Verdict", "Picture"]) {
      head.append(element("th", name, { scope: "col" }));
    }
    const thead = element("thead");
    thead.append(head);
    table.append(thead);
    const body = element("tbody");
    for (const row of result.rows) {
      const line = element("tr", null, { class: row.as_promised ? "kept" : "short" });
      line.append(element("th", row.Version, { scope: "row" }));
      for (const name of ["Language", "What appeared", "SETUP.EXE", "Signature", "Verdict"]) {
        line.append(element("td", row[name]));
      }
      const cell = element("td");
      if (row.picture) {
        const button = element("button", null, { type: "button", class: "thumbnail",
          "aria-label": "Open " + row.Version + "'s picture large" });
        button.append(element("img", null, { src: row.picture,
          alt: row.Version + ": what appeared" }));
        button.addEventListener("click", () => openLarge(row.Version, row.picture));
        cell.append(button);
      }
      line.append(cell);
      body.append(line);
    }
    table.append(body);
    const report = element("p");
    report.append(element("a", "The trial's report", { href: result.report }));
    const scroller = element("div", null, { class: "table" });
    scroller.append(table);
    box.replaceChildren(element("h3", "The trial"), sheet, scroller, report);
  }

  function showJob(job) {
    const key = JSON.stringify(job);
    if (key === shownJob) {
      return;
    }
    shownJob = key;
    const running = job.state === "running";
    $("make").disabled = running;
    $("try").disabled = running;
    showProgress("make-progress", job, running && (job.kind === "make" || !job.made));
    showProgress("try-progress", job, running && job.kind === "try" && !!job.made);
    $("job-lines").textContent = job.lines.join("\n");
    alerts.job = {};
    if (job.state === "refused" && job.refusal) {
      alerts.job[job.refusal.field] = job.refusal.text;
    } else if (job.state === "failed") {
      alerts.job.general = job.error;
    }
    showAlerts();
    if (job.made) {
      showMade(job.made);
    }
    if (job.kind === "try") {
      showTrial(job.state === "done" ? job.result : null);
    }
  }

  let polling = false;

  async function poll() {
    if (polling) {
      return;
    }
    polling = true;
    try {
      const answer = await api("GET", "/api/status");
      if (answer.status === 200) {
        showPreview(answer.data.preview);
        if (answer.data.job) {
          showJob(answer.data.job);
        }
        showAlerts();
      }
    } catch (error) {
      $("preview-status").textContent = "The designer does not answer: is it still running?";
    } finally {
      polling = false;
    }
  }

  setInterval(poll, POLL_MS);
  document.getElementById("design").addEventListener("submit", (event) => event.preventDefault());
  // The page's first design: the preview of what the fields hold.
  sendDesign();
})();
