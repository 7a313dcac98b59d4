// The trend chart: a quantity at the ticked frequencies against time, the mean of each point as a
// line and the range of its spectra as a band. Every change of view asks the server for as many
// points as the plot is wide; while following, the view keeps the last minutes of the recording.
import { fetchJson, isAbort, makeChannel, runLimited } from "./api.js";
import { Labels, Quantities, axis, formatFrequency, formatValue, hostWidth, seriesColor, translucent, whenResized }
    from "./plotstyle.js";

const Height = 340;
const MostPoints = 10000;        // the server's own limit
const RequestsAtOnce = 3;        // trend requests in flight together (one per frequency)
const WheelStep = 1.25;          // a wheel notch widens or narrows the view by this factor
const WheelSettleMs = 150;       // a wheel zoom asks for points once the wheel rests this long
const ClickSlackPx = 4;          // a press and release closer than this is a click, not a drag
const ResizeSettleMs = 200;      // a resized chart asks for points once the size rests this long

export function makeTrend({ host, readout, frequencyBoxes, quantitySelect, followBox, windowSelect, onPick,
                            onView, onError }) {
    const trend = {
        status: null, frequencies: [], ticked: [0, 7, 14], quantity: quantitySelect.value,
        view: null,              // {from, to} in seconds, or null: the whole recording
        chart: null, channel: makeChannel(), again: false, wheelTimer: 0,
    };

    function followWindow() {
        return windowSelect.value === "all" ? Infinity : Number(windowSelect.value);
    }

    // The span the chart shows: the view, or the whole recording so far.
    function span() {
        const s = trend.status;
        if (trend.view) return trend.view;
        if (!s || s.first_time_s === null) return null;
        return { from: s.first_time_s, to: Math.max(s.last_time_s, s.first_time_s + 1e-3) };
    }

    function showSpan(range) {
        if (!trend.chart || !range) return;
        trend.chart.setScale("x", { min: range.from, max: range.to });
    }

    function plotWidthPx() {
        return trend.chart ? Math.max(10, Math.round(trend.chart.over.clientWidth)) : hostWidth(host);
    }

    function makeChart() {
        if (trend.chart) trend.chart.destroy();
        host.replaceChildren();
        const series = [{ label: Labels.time }];
        const bands = [];
        trend.ticked.forEach((index, k) => {
            const color = seriesColor(k, trend.ticked.length);
            const name = formatFrequency(trend.frequencies[index] || 0);
            series.push({ label: name, stroke: color, width: 1.5, points: { show: false } });
            series.push({ label: `${name} min`, stroke: translucent(color, 0.35), width: 0.5, points: { show: false } });
            series.push({ label: `${name} max`, stroke: translucent(color, 0.35), width: 0.5, points: { show: false } });
            bands.push({ series: [3 * k + 3, 3 * k + 2], fill: translucent(color, 0.18) });
        });
        let press = null;
        trend.chart = new uPlot({
            width: hostWidth(host), height: Height, series, bands,
            legend: { show: false },
            scales: { x: { time: false } },
            axes: [axis(Labels.time), axis(Quantities[trend.quantity].label, { size: 70 })],
            cursor: {
                drag: { x: true, y: false, setScale: false, dist: ClickSlackPx },
                bind: {
                    dblclick: () => () => { showAll(); return null; },
                    mousedown: (_u, _t, handler) => (e) => { press = { x: e.clientX, y: e.clientY }; return handler(e); },
                    mouseup: (u, _t, handler) => (e) => {
                        const moved = press ? Math.hypot(e.clientX - press.x, e.clientY - press.y) : Infinity;
                        press = null;
                        if (moved < ClickSlackPx && u.cursor.left >= 0) onPick(u.posToVal(u.cursor.left, "x"));
                        return handler(e);
                    },
                },
            },
            hooks: {
                setSelect: [zoomToSelection],
                setCursor: [showReadout],
            },
        }, [[]].concat(series.slice(1).map(() => [])), host);
        trend.chart.over.addEventListener("wheel", wheelZoom, { passive: false });
        trend.chart.over.addEventListener("mouseleave", () => { readout.textContent = ""; });
    }

    // A drag across the plot: its span becomes the view.
    function zoomToSelection(u) {
        const { left, width } = u.select;
        if (width < ClickSlackPx) return;
        const from = u.posToVal(left, "x"), to = u.posToVal(left + width, "x");
        u.setSelect({ left: 0, top: 0, width: 0, height: 0 }, false);
        if (!(to > from)) return;
        trend.view = { from, to };
        followBox.checked = false;
        showSpan(trend.view);
        refresh(true);
    }

    function wheelZoom(e) {
        const range = span();
        if (!range || !trend.chart) return;
        e.preventDefault();
        const factor = e.deltaY < 0 ? 1 / WheelStep : WheelStep;
        const at = trend.chart.posToVal(trend.chart.cursor.left, "x");
        const anchor = isFinite(at) ? at : (range.from + range.to) / 2;
        trend.view = { from: anchor - (anchor - range.from) * factor, to: anchor + (range.to - anchor) * factor };
        followBox.checked = false;
        showSpan(trend.view);
        clearTimeout(trend.wheelTimer);
        trend.wheelTimer = setTimeout(() => refresh(true), WheelSettleMs);
    }

    function showAll() {
        trend.view = null;
        windowSelect.value = "all";
        refresh(true);
    }

    function showReadout(u) {
        const i = u.cursor.idx;
        if (i === null || i === undefined || !u.data[0].length) { readout.textContent = ""; return; }
        const parts = [`${formatValue(u.data[0][i])} s`];
        trend.ticked.forEach((index, k) => {
            const v = u.data[1 + 3 * k][i];
            if (v !== null && v !== undefined)
                parts.push(`${formatFrequency(trend.frequencies[index])}: ${formatValue(v)}`);
        });
        readout.textContent = parts.join("   ");
    }

    // Asks for the points of the span shown. A live refresh waits for one in flight (and runs once
    // more after it); a zoom aborts it, as its answer is stale.
    async function refresh(zoom) {
        if (!trend.chart || !trend.status || trend.status.first_time_s === null) return;
        if (!zoom && trend.channel.busy()) { trend.again = true; return; }
        trend.again = false;
        const signal = trend.channel.start();
        const range = span();
        const points = Math.min(MostPoints, plotWidthPx());
        const parameters = (index) => ({
            quantity: trend.quantity, frequency_hz: trend.frequencies[index], points,
            from_s: trend.view ? range.from : null, to_s: trend.view ? range.to : null,
        });
        try {
            const answers = await runLimited(
                trend.ticked.map((index) => () => fetchJson("api/trend", parameters(index), signal)), RequestsAtOnce);
            if (signal.aborted) return;
            const tables = answers.map((a) => [a.time_s, a.mean, a.min, a.max]);
            const data = tables.length ? uPlot.join(tables) : [[]];
            trend.chart.batch(() => {
                trend.chart.setData(data, true);
                showSpan(range);
            });
            host.dataset.points = String(data[0].length);
            host.dataset.lastTime = String(data[0].length ? data[0][data[0].length - 1] : "");
            host.dataset.spectraPerPoint = String(answers.length ? answers[0].spectra_per_point : 0);
            host.dataset.source = answers.length ? answers[0].source : "";
            onView(range);
        } catch (error) {
            if (!isAbort(error)) onError(error.message);
        } finally {
            trend.channel.finish(signal);
            if (trend.again && !signal.aborted) refresh(false);
        }
    }

    function makeFrequencyBoxes() {
        frequencyBoxes.replaceChildren();
        trend.frequencies.forEach((hz, index) => {
            const label = document.createElement("label");
            label.className = "frequency";
            const box = document.createElement("input");
            box.type = "checkbox";
            box.value = String(index);
            box.checked = trend.ticked.includes(index);
            box.addEventListener("change", () => {
                trend.ticked = [...frequencyBoxes.querySelectorAll("input:checked")].map((b) => Number(b.value));
                colourBoxes();
                makeChart();
                refresh(true);
            });
            const swatch = document.createElement("span");
            swatch.className = "swatch";
            label.append(box, swatch, document.createTextNode(formatFrequency(hz)));
            frequencyBoxes.append(label);
        });
        colourBoxes();
    }

    // Each ticked frequency's box shows its line's colour.
    function colourBoxes() {
        [...frequencyBoxes.querySelectorAll("label")].forEach((label, index) => {
            const k = trend.ticked.indexOf(index);
            label.querySelector(".swatch").style.background = k < 0 ? "transparent" : seriesColor(k, trend.ticked.length);
        });
    }

    quantitySelect.addEventListener("change", () => { trend.quantity = quantitySelect.value; makeChart(); refresh(true); });
    followBox.addEventListener("change", () => { if (followBox.checked) { followLatest(); refresh(true); } });
    windowSelect.addEventListener("change", () => { followBox.checked = true; followLatest(); refresh(true); });
    let resizeTimer = 0;
    whenResized(host, (width) => {
        if (trend.chart) trend.chart.setSize({ width, height: Height });
        clearTimeout(resizeTimer);
        resizeTimer = setTimeout(() => refresh(true), ResizeSettleMs);
    });

    function followLatest() {
        const s = trend.status;
        if (!s || s.last_time_s === null) return;
        const w = followWindow();
        trend.view = isFinite(w) ? { from: Math.max(s.first_time_s, s.last_time_s - w), to: s.last_time_s } : null;
    }

    return {
        // A new status: the first one (or a new log) sets up the boxes and the chart.
        update(status, restart) {
            const frequenciesChanged = JSON.stringify(status.frequencies_hz) !== JSON.stringify(trend.frequencies);
            const before = trend.status;
            trend.status = status;
            // A fixed view that ends before the recording did is not changed by new spectra.
            const viewGrows = followBox.checked || !trend.view || !before || trend.view.to >= before.last_time_s;
            if (frequenciesChanged || restart || !trend.chart) {
                trend.frequencies = status.frequencies_hz || [];
                trend.ticked = trend.ticked.filter((i) => i < trend.frequencies.length);
                makeFrequencyBoxes();
                makeChart();
            }
            if (restart) { trend.view = null; followBox.checked = true; }
            if (followBox.checked) followLatest();
            if (restart || frequenciesChanged || viewGrows) refresh(restart);
        },
        view: span,
    };
}
