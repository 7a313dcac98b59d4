// Talking to the server: JSON requests tied to the log being shown, a channel per kind of request
// (a new request on a channel aborts the one still in flight), and the event stream.

let logIndex = 0;

export function setLogIndex(index) { logIndex = index; }
export function currentLogIndex() { return logIndex; }

// "api/trend" and {quantity: "phase", from_s: 3} -> "api/trend?quantity=phase&from_s=3&log=1"
export function apiAddress(path, parameters = {}) {
    const query = new URLSearchParams();
    for (const [name, value] of Object.entries(parameters))
        if (value !== null && value !== undefined) query.set(name, String(value));
    if (logIndex !== 0) query.set("log", String(logIndex));
    const text = query.toString();
    return text ? `${path}?${text}` : path;
}

export async function fetchJson(path, parameters, signal) {
    const response = await fetch(apiAddress(path, parameters), { signal, cache: "no-store" });
    let body = null;
    try { body = await response.json(); } catch { body = null; }
    if (!response.ok)
        throw new Error(body && body.error ? body.error : `${path}: HTTP ${response.status}`);
    return body;
}

export function isAbort(error) { return error && error.name === "AbortError"; }

// A channel: start() aborts what the channel still has in flight and gives the new request's signal.
export function makeChannel() {
    let controller = null;
    return {
        start() {
            if (controller) controller.abort();
            controller = new AbortController();
            return controller.signal;
        },
        busy() { return controller !== null && !controller.signal.aborted; },
        finish(signal) { if (controller && controller.signal === signal) controller = null; },
        abort() { if (controller) controller.abort(); controller = null; },
    };
}

// Runs jobs (functions returning promises) with at most `limit` of them at once, results in order.
export async function runLimited(jobs, limit) {
    const results = new Array(jobs.length);
    let next = 0;
    async function worker() {
        while (next < jobs.length) {
            const i = next++;
            results[i] = await jobs[i]();
        }
    }
    await Promise.all(Array.from({ length: Math.min(limit, jobs.length) }, worker));
    return results;
}

// The event stream of the log being shown; handlers by event name, plus onOpen and onLost.
// EventSource reconnects by itself after the server restarts.
export function openEvents(handlers) {
    const source = new EventSource(apiAddress("events"));
    for (const name of ["status", "logs", "fits"]) {
        source.addEventListener(name, (event) => {
            let data;
            try { data = JSON.parse(event.data); } catch { return; }
            if (handlers[name]) handlers[name](data);
        });
    }
    source.onopen = () => handlers.onOpen && handlers.onOpen();
    source.onerror = () => handlers.onLost && handlers.onLost(source.readyState === EventSource.CLOSED);
    return source;
}
