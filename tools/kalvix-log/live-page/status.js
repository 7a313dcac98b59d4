// The status line (file, serial, divider, spectra, lost, rate, duration, state) and the list of a
// folder's logs.
import { formatCount, formatDuration } from "./plotstyle.js";

const StateNames = { live: "live", ended: "ended", gone: "gone", waiting: "waiting" };

function setField(name, text) {
    document.getElementById(`status-${name}`).textContent = text;
}

export function showStatus(status) {
    setField("file", status.file || "–");
    document.getElementById("status-file").title = status.path || "";
    setField("serial", status.serial || "–");
    setField("divider", status.divider ? `${status.divider} (${status.period_s * 1000} ms a spectrum)` : "–");
    setField("spectra", formatCount(status.spectra));
    setField("lost", status.gaps > 0 ? `${formatCount(status.lost)} in ${formatCount(status.gaps)} gaps`
                                     : formatCount(status.lost));
    document.getElementById("status-lost-item").classList.toggle("alarm", status.lost > 0);
    setField("rate", status.state === "live" ? `${formatCount(status.rate_hz)} /s` : "–");
    setField("duration", formatDuration(status.duration_s));

    const state = document.getElementById("state");
    state.textContent = StateNames[status.state] || status.state;
    state.className = `state state-${status.state}`;

    let message = status.message || "";
    if (status.unreadable_rows > 0)
        message += `${message ? "; " : ""}${formatCount(status.unreadable_rows)} rows could not be read`;
    const line = document.getElementById("status-message");
    line.textContent = message;
    line.hidden = message === "";
}

// The server's connection as the page sees it: lost (the event stream is reconnecting) or back.
export function showConnection(connected) {
    const banner = document.getElementById("connection");
    banner.hidden = connected;
    document.body.classList.toggle("disconnected", !connected);
}

// The logs of the folder, newest first; a click opens one (onPick(index, name)).
export function showLogs(document_, shownName, onPick) {
    const panel = document.getElementById("logs");
    if (!document_ || document_.folder === null) { panel.hidden = true; return; }
    panel.hidden = false;
    document.getElementById("logs-folder").textContent = document_.folder;
    const list = document.getElementById("logs-list");
    list.replaceChildren();
    for (const log of document_.logs) {
        const item = document.createElement("li");
        const button = document.createElement("button");
        button.type = "button";
        button.className = "log";
        if (log.name === shownName) button.classList.add("current");
        const name = document.createElement("span");
        name.className = "log-name";
        name.textContent = log.name;
        const detail = document.createElement("span");
        detail.className = `log-detail state-text-${log.state}`;
        detail.textContent = `${log.spectra === null ? "?" : formatCount(log.spectra)} spectra · ${log.state}`;
        button.append(name, detail);
        button.addEventListener("click", () => onPick(log.index, log.name));
        item.append(button);
        list.append(item);
    }
    if (!document_.complete) {
        const more = document.createElement("li");
        more.className = "log-more";
        more.textContent = "the folder holds more files than were looked at";
        list.append(more);
    }
}
