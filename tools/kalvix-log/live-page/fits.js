// The fitted parameters against time, one small chart per parameter with its 95 % interval as a
// band, and the validity strip (one mark per block: valid, invalid or not computed). Both follow
// the trend's view.
import { fetchJson, isAbort, makeChannel } from "./api.js";
import { Labels, axis, hostWidth, seriesColor, tickValues, translucent, whenResized } from "./plotstyle.js";

const ParameterHeight = 170;
const StripHeight = 64;
const Valid = "#2CA02C", Invalid = "#D62728", Unknown = "#C8C8C8";

function parameterChart(host, parameter, index, count) {
    const color = seriesColor(index, Math.min(count, 10));
    const label = parameter.unit ? `${parameter.name} (${parameter.unit})` : parameter.name;
    return new uPlot({
        width: hostWidth(host), height: ParameterHeight, legend: { show: false },
        cursor: { drag: { x: false, y: false } },
        scales: { x: { time: false } },
        axes: [axis(Labels.time), axis(label, { size: 78, values: tickValues })],
        series: [{}, { stroke: color, width: 1.5, points: { show: false } },
                 { stroke: translucent(color, 0.3), width: 0.5, points: { show: false } },
                 { stroke: translucent(color, 0.3), width: 0.5, points: { show: false } }],
        bands: [{ series: [3, 2], fill: translucent(color, 0.18) }],
    }, [[], [], [], []], host);
}

// One coloured mark per block from its time to the next block's.
function drawValidity(u) {
    const data = u.data;
    const times = data[0], valid = data[1];
    const ctx = u.ctx;
    const top = u.bbox.top, height = u.bbox.height;
    ctx.save();
    ctx.beginPath();
    ctx.rect(u.bbox.left, top, u.bbox.width, height);
    ctx.clip();
    for (let i = 0; i < times.length; i++) {
        const step = i + 1 < times.length ? times[i + 1] - times[i] : i > 0 ? times[i] - times[i - 1] : 1;
        const x0 = u.valToPos(times[i] - step / 2, "x", true), x1 = u.valToPos(times[i] + step / 2, "x", true);
        ctx.fillStyle = valid[i] === null ? Unknown : valid[i] ? Valid : Invalid;
        ctx.fillRect(x0, top, Math.max(1, x1 - x0), height);
    }
    ctx.restore();
}

function validityChart(host) {
    return new uPlot({
        width: hostWidth(host), height: StripHeight, legend: { show: false },
        cursor: { show: false, drag: { x: false, y: false } },
        scales: { x: { time: false }, y: { auto: false, range: [0, 1] } },
        axes: [axis(Labels.time, { size: 36 }), axis("", { size: 78, values: (_u, splits) => splits.map(() => ""), ticks: { show: false }, grid: { show: false } })],
        series: [{}, { show: false }],
        hooks: { draw: [drawValidity] },
    }, [[], []], host);
}

export function makeFits({ section, parameterHosts, validitySection, validityHost, summary, onError }) {
    const fits = { status: null, range: null, charts: [], names: "", strip: null, channel: makeChannel(), again: false };

    function ensureCharts(parameters) {
        const names = parameters.map((p) => `${p.name}|${p.unit}`).join(",");
        if (names === fits.names) return;
        fits.charts.forEach((c) => c.destroy());
        parameterHosts.replaceChildren();
        fits.charts = parameters.map((p, i) => {
            const host = document.createElement("div");
            host.className = "parameter";
            parameterHosts.append(host);
            return parameterChart(host, p, i, parameters.length);
        });
        fits.names = names;
    }

    function setRange(chart) {
        if (fits.range) chart.setScale("x", { min: fits.range.from, max: fits.range.to });
    }

    async function refresh() {
        const s = fits.status;
        if (!s || (!s.circuit && !s.check) || !fits.range) return;
        if (fits.channel.busy()) { fits.again = true; return; }
        fits.again = false;
        const signal = fits.channel.start();
        const points = Math.max(10, Math.min(10000, hostWidth(section) - 100));
        try {
            const answer = await fetchJson("api/fits", { from_s: fits.range.from, to_s: fits.range.to, points }, signal);
            show(answer);
        } catch (error) {
            if (!isAbort(error)) onError(error.message);
        } finally {
            fits.channel.finish(signal);
            if (fits.again && !signal.aborted) refresh();
        }
    }

    function show(answer) {
        summary.textContent = `${answer.circuit ? `circuit ${answer.circuit}, ` : ""}a block every ${answer.every_s} s: ` +
            `${answer.blocks_done} done, ${answer.blocks_pending} waiting`;
        if (answer.fits) {
            ensureCharts(answer.fits.parameters);
            answer.fits.parameters.forEach((p, i) => {
                const chart = fits.charts[i];
                chart.setData([answer.fits.time_s, p.value, p.low, p.high], true);
                setRange(chart);
            });
            parameterHosts.dataset.blocks = String(answer.fits.time_s.length);
        }
        validitySection.hidden = !answer.validity;
        if (answer.validity) {
            if (!fits.strip) fits.strip = validityChart(validityHost);
            fits.strip.setData([answer.validity.time_s, answer.validity.valid.map((v) => (v === null ? null : v ? 1 : 0))], true);
            setRange(fits.strip);
        }
    }

    let resizeTimer = 0;
    whenResized(parameterHosts, () => {
        fits.charts.forEach((c, i) => c.setSize({ width: hostWidth(parameterHosts.children[i]), height: ParameterHeight }));
        if (fits.strip) fits.strip.setSize({ width: hostWidth(validityHost), height: StripHeight });
        clearTimeout(resizeTimer);
        resizeTimer = setTimeout(refresh, 200);
    });

    return {
        update(status, restart) {
            fits.status = status;
            section.hidden = !status.circuit && !status.check;
            if (restart) { fits.names = ""; fits.charts.forEach((c) => c.destroy()); fits.charts = []; parameterHosts.replaceChildren(); }
        },
        // The trend's view changed (or grew): the same span here.
        setRange(range) { fits.range = range; refresh(); },
        // New fit results arrived.
        arrived() { refresh(); },
    };
}
