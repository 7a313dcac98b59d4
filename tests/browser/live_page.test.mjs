// The live view's page in a real browser (headless Chromium through puppeteer-core), against
// kalvix-log live following a log written at 1000 spectra per second:
//   node live_page.test.mjs --program KALVIX_LOG --modules PAGE_NODE_MODULES [--screenshot PNG --backlog S]
// Exit 0 when every check holds, 1 on the first that does not, 77 (skipped) without Chromium.
import { spawn } from "node:child_process";
import { createRequire } from "node:module";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { startWriting, writeBacklog } from "./synthetic-log.mjs";

const options = {};
for (let i = 2; i + 1 < process.argv.length; i += 2) options[process.argv[i].replace(/^--/, "")] = process.argv[i + 1];
const chromium = process.env.KALVIX_CHROMIUM || "/usr/bin/chromium";
if (!fs.existsSync(chromium)) {
    console.log(`skipped: no Chromium at ${chromium} (scripts/install-deps.sh installs it; KALVIX_CHROMIUM names another)`);
    process.exit(77);
}
const puppeteer = createRequire(path.resolve(options.modules, "x.js"))("puppeteer-core");

const Circuit = "R0-p(R1,C1)";
const checks = [];
function check(condition, what) {
    checks.push(what);
    if (!condition) throw new Error(`failed: ${what}`);
    console.log(`ok: ${what}`);
}
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Waits until `probe` (run in the page) gives a truthy value; that value, or an error after `ms`.
async function waitFor(page, what, probe, arg, ms = 15000) {
    try {
        const handle = await page.waitForFunction(probe, { timeout: ms, polling: 100 }, arg);
        return await handle.jsonValue();
    } catch (error) {
        throw new Error(`failed: ${what} (${error.message.split("\n")[0]})`);
    }
}

// kalvix-log live on the log; resolves with the address it prints.
function startProgram(log, listen) {
    const child = spawn(options.program, ["live", log, "--circuit", Circuit, "--check", "--listen", listen],
                        { stdio: ["ignore", "pipe", "pipe"] });
    let output = "";
    return new Promise((resolve, reject) => {
        const seen = (chunk) => {
            output += chunk;
            const address = output.match(/http:\/\/127\.0\.0\.1:\d+\/?\S*/);
            if (address) resolve({ child, address: address[0], port: Number(address[0].match(/:(\d+)/)[1]) });
        };
        child.stdout.on("data", seen);
        child.stderr.on("data", seen);
        child.on("exit", (code) => reject(new Error(`kalvix-log live ended (${code}) before it listened: ${output}`)));
        setTimeout(() => reject(new Error(`kalvix-log live printed no address in 20 s: ${output}`)), 20000);
    });
}

function stopProgram(server) {
    return new Promise((resolve) => {
        if (server.child.exitCode !== null) return resolve();
        server.child.once("exit", resolve);
        server.child.kill("SIGTERM");
    });
}

const folder = fs.mkdtempSync(path.join(os.tmpdir(), "kalvix-live-page-"));
const log = path.join(folder, "261210_140000_rc-drift.txt");
const backlogSeconds = Number(options.backlog || 30);
let writer = null, server = null, browser = null;
try {
    const written = writeBacklog(log, backlogSeconds);
    writer = startWriting(log, written);
    server = await startProgram(log, "127.0.0.1:0");

    browser = await puppeteer.launch({
        executablePath: chromium, headless: true,
        args: (process.getuid && process.getuid() === 0 ? ["--no-sandbox"] : []).concat(["--font-render-hinting=none"]),
    });
    const page = await browser.newPage();
    await page.setViewport({ width: 1280, height: 900 });
    const problems = [];
    page.on("console", (m) => { if (m.type() === "error" || m.type() === "warning") problems.push(`console ${m.type()}: ${m.text()}`); });
    page.on("pageerror", (e) => problems.push(`page error: ${e.message}`));
    // Every API request (the event stream left out), and the span of events each one that the page
    // waited for was in flight: one it aborted (a zoom replacing the trend's requests) is let go by
    // the page at once, while the browser may report its end only after the new ones have started.
    const trendRequests = [];
    let event = 0;
    const started = new Map(), answered = [];
    const isApi = (r) => new URL(r.url()).pathname.startsWith("/api/");
    page.on("request", (r) => {
        if (!isApi(r)) return;
        started.set(r, event++);
        const url = new URL(r.url());
        if (url.pathname === "/api/trend") trendRequests.push(Object.fromEntries(url.searchParams));
    });
    page.on("requestfinished", (r) => { if (started.has(r)) answered.push([started.get(r), event++]); });
    const mostAtOnce = () => Math.max(0, ...answered.map(([from]) =>
        answered.filter(([s, e]) => s <= from && from < e).length));

    await page.goto(server.address);
    const name = await waitFor(page, "the status line names the log and says it is live", () => {
        const file = document.getElementById("status-file").textContent;
        return document.getElementById("state").textContent === "live" && file.endsWith(".txt") && file;
    });
    check(name === path.basename(log), `the status line names ${path.basename(log)}`);

    // The trend fills and grows while the log is written.
    const firstLast = Number(await waitFor(page, "the trend shows points",
        () => Number(document.getElementById("trend-chart").dataset.points) > 10 && document.getElementById("trend-chart").dataset.lastTime));
    const spectraBefore = await page.$eval("#status-spectra", (e) => Number(e.textContent.replace(/\D/g, "")));
    check(spectraBefore >= backlogSeconds * 1000 * 0.9, `the status counts the backlog's spectra (${spectraBefore})`);
    const grownLast = Number(await waitFor(page, "the trend's last point moves on",
        (before) => Number(document.getElementById("trend-chart").dataset.lastTime) > before + 1.5 &&
                    document.getElementById("trend-chart").dataset.lastTime, firstLast));
    check(grownLast > firstLast, `the trend grows (last point ${firstLast.toFixed(2)} s, then ${grownLast.toFixed(2)} s)`);
    const plotWidth = await page.$eval("#trend-chart .u-over", (e) => e.clientWidth);
    check(trendRequests.every((q) => Number(q.points) <= plotWidth),
          `no trend request asks for more points than the plot's ${plotWidth} pixels`);

    // Lost spectra: the writer leaves out 25 MeasCounts.
    check(await page.$eval("#status-lost-item", (e) => !e.classList.contains("alarm")), "nothing lost is shown plainly");
    writer.skip(25);
    const lost = await waitFor(page, "the lost spectra show", () => {
        const item = document.getElementById("status-lost-item");
        return item.classList.contains("alarm") && document.getElementById("status-lost").textContent;
    });
    check(/^25\b/.test(lost), `the status line shows 25 lost spectra, marked (${lost})`);

    if (options.screenshot) {
        await sleep(1500);
        await page.screenshot({ path: options.screenshot, fullPage: true });
        console.log(`screenshot: ${options.screenshot}`);
    }

    // A drag across a tenth of the plot asks for that span's points, finer than before.
    const coarse = await page.$eval("#trend-chart", (e) => Number(e.dataset.spectraPerPoint));
    const box = await (await page.$("#trend-chart .u-over")).boundingBox();
    const before = trendRequests.length;
    const y = box.y + box.height / 2;
    await page.mouse.move(box.x + box.width * 0.4, y);
    await page.mouse.down();
    await page.mouse.move(box.x + box.width * 0.45, y, { steps: 5 });
    await page.mouse.move(box.x + box.width * 0.5, y, { steps: 5 });
    await page.mouse.up();
    const fine = await waitFor(page, "the zoomed trend arrives",
        (c) => Number(document.getElementById("trend-chart").dataset.spectraPerPoint) < c &&
               Number(document.getElementById("trend-chart").dataset.spectraPerPoint), coarse);
    // The view was the whole recording so far; the drag covered a tenth of it.
    const spanOf = (q) => Number(q.to_s) - Number(q.from_s);
    const zoomRequests = trendRequests.slice(before).filter((q) => q.from_s !== undefined && spanOf(q) < 0.5 * grownLast);
    check(zoomRequests.length > 0, "the zoom asks the server for its span (from_s and to_s)");
    const span = spanOf(zoomRequests[0]);
    check(span > 0.05 * grownLast && span < 0.15 * grownLast,
          `the zoom's span is the dragged tenth (${span.toFixed(2)} s of ${grownLast.toFixed(2)} s)`);
    check(fine < coarse, `the zoom's points hold fewer spectra (${fine}, before ${coarse})`);
    check(await page.$eval("#follow", (e) => !e.checked), "a zoom stops following");

    // A click in the trend shows the spectrum of that time.
    const clickX = box.x + box.width * 0.3;
    const time = await page.$eval("#trend-chart", (host, x) => {
        const over = host.querySelector(".u-over");
        return x - over.getBoundingClientRect().left;
    }, clickX);
    await page.mouse.click(clickX, y);
    const picked = Number(await waitFor(page, "the spectrum follows the click",
        () => document.getElementById("spectrum-caption").textContent.startsWith("picked") &&
              document.getElementById("nyquist").dataset.meascount));
    const zoomFrom = Number(zoomRequests[zoomRequests.length - 1].from_s), zoomTo = Number(zoomRequests[zoomRequests.length - 1].to_s);
    const expected = (zoomFrom + (zoomTo - zoomFrom) * time / box.width) * 1000;
    check(Math.abs(picked - expected) < 0.02 * (zoomTo - zoomFrom) * 1000 + 2,
          `the click picks the spectrum at its time (count ${picked}, expected about ${Math.round(expected)})`);

    // Double-click shows the whole recording again.
    await page.mouse.click(box.x + box.width * 0.6, y, { clickCount: 2 });
    check(await waitFor(page, "a double-click shows everything", (f) => document.getElementById("window").value === "all" &&
        Number(document.getElementById("trend-chart").dataset.spectraPerPoint) > f, fine),
          "a double-click shows the whole recording");

    const mostInFlight = mostAtOnce();
    check(mostInFlight <= 6 && answered.length > 10, `at most a few requests in flight at once (${mostInFlight} of ${answered.length} answered)`);

    // The server goes away: the page says so, and comes back with it.
    const problemsWhileRunning = problems.length;
    await stopProgram(server);
    check(await waitFor(page, "the page says it lost the server", () => !document.getElementById("connection").hidden),
          "the page says when it lost the server");
    server = await startProgram(log, `127.0.0.1:${server.port}`);
    check(await waitFor(page, "the page reconnects", () => document.getElementById("connection").hidden, undefined, 20000),
          "the page reconnects to the restarted server");

    // Only the refused connections while the server was away may be in the console.
    const unexpected = problems.filter((p, i) => i < problemsWhileRunning || !/ERR_CONNECTION_REFUSED/.test(p));
    check(unexpected.length === 0, `no console errors${unexpected.length ? `: ${unexpected.join("; ")}` : ""}`);
    console.log(`all ${checks.length} checks passed`);
} catch (error) {
    console.error(error.message);
    process.exitCode = 1;
} finally {
    if (writer) writer.stop();
    if (browser) await browser.close();
    if (server) await stopProgram(server);
    fs.rmSync(folder, { recursive: true, force: true });
}
