// The live view's page: wires the status line, the folder's logs, the trend, the spectrum and the
// fits to the server's event stream.
import { fetchJson, openEvents, setLogIndex, currentLogIndex } from "./api.js";
import { showConnection, showLogs, showStatus } from "./status.js";
import { makeTrend } from "./trend.js";
import { makeSpectrum } from "./spectrum.js";
import { makeFits } from "./fits.js";

const byId = (id) => document.getElementById(id);

const page = { events: null, logs: null, shownName: null, fresh: true };

function showError(message) {
    const line = byId("error");
    line.textContent = message;
    line.hidden = false;
    clearTimeout(showError.timer);
    showError.timer = setTimeout(() => { line.hidden = true; }, 8000);
}

const fits = makeFits({
    section: byId("fits"), parameterHosts: byId("parameters"), validitySection: byId("validity"),
    validityHost: byId("validity-chart"), summary: byId("fits-summary"), onError: showError,
});
const spectrum = makeSpectrum({
    modulusHost: byId("bode-modulus"), phaseHost: byId("bode-phase"), nyquistHost: byId("nyquist"),
    caption: byId("spectrum-caption"), latestButton: byId("spectrum-latest"), onError: showError,
});
const trend = makeTrend({
    host: byId("trend-chart"), readout: byId("trend-readout"), frequencyBoxes: byId("frequencies"),
    quantitySelect: byId("quantity"), followBox: byId("follow"), windowSelect: byId("window"),
    onPick: (time) => spectrum.pick(time), onView: (range) => fits.setRange(range), onError: showError,
});

function onStatus(status) {
    const restart = page.fresh || status.file !== page.shownName;
    page.fresh = false;
    page.shownName = status.file;
    showStatus(status);
    trend.update(status, restart);
    spectrum.update(status, restart);
    fits.update(status, restart);
    if (restart && status.folder !== null) loadLogs();
    else if (page.logs) showLogs(page.logs, page.shownName, openLog);
}

// The folder's list changed. A log other than the newest is shown by its index, which moves when a
// new log arrives: it is found again by its name.
function onLogs(logs) {
    page.logs = logs;
    if (currentLogIndex() !== 0) {
        const same = logs.logs.find((log) => log.name === page.shownName);
        if (same && same.index !== currentLogIndex()) openLog(same.index, same.name);
    }
    showLogs(logs, page.shownName, openLog);
}

async function loadLogs() {
    try { onLogs(await fetchJson("api/logs")); } catch (error) { showError(error.message); }
}

function connect() {
    if (page.events) page.events.close();
    page.events = openEvents({
        status: onStatus, logs: onLogs, fits: () => fits.arrived(),
        onOpen: () => showConnection(true), onLost: () => showConnection(false),
    });
}

function openLog(index, name) {
    if (index === currentLogIndex() && name === page.shownName) return;
    setLogIndex(index);
    page.fresh = true;
    connect();
}

connect();
