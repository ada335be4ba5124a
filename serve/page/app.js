// The live page: each supply's latest values as the window's monitoring panel shows them, and
// plots of the readings over a chosen window, fetched from /api/status and /api/history.
"use strict";

const windowSelect = document.getElementById("window");
const asked = new URLSearchParams(location.search).get("window");
if (asked && [...windowSelect.options].some((option) => option.value === asked)) {
  windowSelect.value = asked;
}
const supplies = new Map(); // location -> {element, rows, lastTime, graphs}

function windowSeconds() {
  return Number(windowSelect.value);
}

function timeText(iso) {
  return iso ? new Date(iso).toLocaleTimeString() : "";
}

function fieldText(name, value) {
  if (typeof value === "number" && ["outputVoltage", "batteryVoltage", "chargeCurrent"].includes(name)) {
    return value.toFixed(2);
  }
  return value === undefined || value === null ? "" : String(value);
}

function batteryAgeClass(hours) {
  if (hours <= 26000) return "age1";
  if (hours <= 30000) return "age2";
  return "age3";
}

function supplyFor(entry) {
  let supply = supplies.get(entry.location);
  if (supply) return supply;
  const element = document.getElementById("supply").content.firstElementChild.cloneNode(true);
  element.querySelector(".bridge").textContent = entry.bridge;
  element.querySelector(".location").textContent = "(" + entry.location + ")";
  document.getElementById("supplies").appendChild(element);
  const common = { connectSeparatedPoints: false, legend: "always",
                   axes: { x: { axisLabelWidth: 70 }, y: { axisLabelFormatter: (v) => v.toFixed(2) } } };
  supply = {
    element,
    volts: [],
    amps: [],
    lastTime: null,
    graphs: {
      volts: new Dygraph(element.querySelector(".voltages"), [[new Date(), null, null]],
        Object.assign({ labels: ["Time", "Main output voltage (V)", "Battery voltage (V)"],
                        ylabel: "Volts", colors: ["#1d4f91", "#d07000"],
                        labelsDiv: element.querySelector(".voltages-legend") }, common)),
      amps: new Dygraph(element.querySelector(".current"), [[new Date(), null]],
        Object.assign({ labels: ["Time", "Battery charge current (A)"], ylabel: "Amps",
                        colors: ["#2a8a2a"], labelsDiv: element.querySelector(".current-legend") },
                      common)),
    },
  };
  supplies.set(entry.location, supply);
  return supply;
}

function showStatus(entry) {
  const supply = supplyFor(entry);
  const poll = supply.element.querySelector(".poll");
  if (entry.lastPoll === null) {
    poll.textContent = "Waiting for the first poll";
    poll.className = "poll";
  } else if (entry.ok) {
    poll.textContent = "Pass, last poll " + timeText(entry.lastPoll) + " (" +
      (entry.pollSeconds * 1000).toFixed(0) + " ms)";
    poll.className = "poll";
  } else {
    poll.textContent = entry.failure + " at " + timeText(entry.lastPoll) +
      (entry.lastGoodPoll ? "; values of the last good poll, " + timeText(entry.lastGoodPoll) : "");
    poll.className = "poll fail";
  }
  supply.element.classList.toggle("stale", !entry.ok);
  const status = entry.status || {};
  for (const cell of supply.element.querySelectorAll("td[data-field]")) {
    cell.textContent = fieldText(cell.dataset.field, status[cell.dataset.field]);
  }
  const age = supply.element.querySelector('td[data-field="batteryInstalledHours"]');
  age.classList.remove("age1", "age2", "age3");
  if (entry.status) age.classList.add(batteryAgeClass(entry.status.batteryInstalledHours));
}

function addHistory(history) {
  for (const column of history.supplies) {
    const supply = supplyFor(column);
    for (let i = 0; i < column.time.length; i++) {
      const time = new Date(column.time[i]);
      supply.volts.push([time, column.outputVoltage[i], column.batteryVoltage[i]]);
      supply.amps.push([time, column.chargeCurrent[i]]);
      supply.lastTime = column.time[i];
    }
  }
}

function redraw() {
  const end = Date.now();
  const start = end - windowSeconds() * 1000;
  for (const supply of supplies.values()) {
    while (supply.volts.length > 0 && supply.volts[0][0].getTime() < start) {
      supply.volts.shift();
      supply.amps.shift();
    }
    if (supply.volts.length === 0) continue;
    supply.graphs.volts.updateOptions({ file: supply.volts, dateWindow: [start, end] });
    supply.graphs.amps.updateOptions({ file: supply.amps, dateWindow: [start, end] });
  }
}

async function fetchJson(url) {
  const response = await fetch(url, { cache: "no-store" });
  if (!response.ok) throw new Error(url + ": " + response.status);
  return response.json();
}

function sinceOf(supply) {
  return supply.lastTime === null ? (Date.now() - windowSeconds() * 1000) / 1000 : supply.lastTime / 1000;
}

async function refresh() {
  try {
    const status = await fetchJson("/api/status");
    status.supplies.forEach(showStatus);
    let since = Infinity;
    for (const supply of supplies.values()) since = Math.min(since, sinceOf(supply));
    const history = await fetchJson("/api/history?since=" + since.toFixed(3));
    // Samples a supply already has are left out by its own last time.
    for (const column of history.supplies) {
      const supply = supplyFor(column);
      const keep = column.time.findIndex((t) => supply.lastTime === null || t > supply.lastTime);
      const from = keep < 0 ? column.time.length : keep;
      for (const key of Object.keys(column)) {
        if (Array.isArray(column[key])) column[key] = column[key].slice(from);
      }
    }
    addHistory(history);
    redraw();
    document.getElementById("updated").textContent = "Updated " + new Date().toLocaleTimeString();
  } catch (error) {
    document.getElementById("updated").textContent = "Server not answering: " + error.message;
  }
}

// A new window starts the plots again from its beginning, at the next refresh.
windowSelect.addEventListener("change", () => {
  for (const supply of supplies.values()) {
    supply.volts = [];
    supply.amps = [];
    supply.lastTime = null;
  }
});

// One refresh at a time, each a second after the last one ended.
async function keepRefreshing() {
  await refresh();
  setTimeout(keepRefreshing, 1000);
}
keepRefreshing();
