// Drives pawnlark through node-uci, a real client library: the handshake and the option
// catalogue, a Chess960 game, a clock search, and an endless thinking search stopped after a
// second. Arguments: the path of node-uci, and wrapper scripts that start pawnlark with
// --options full, plainly, and with --think. Exits 0 when every check holds.
'use strict';
const { spawnSync } = require('child_process');
const { Engine } = require(process.argv[2]);
const [full, plain, thinking, binary] = process.argv.slice(3);

// The options node-uci is known to drop: a string whose default has spaces.
const KnownDropped = ['Greeting'];

const engines = [];
const failures = [];
function check(ok, what) {
    if (!ok) failures.push(what);
}
async function start(path) {
    const engine = new Engine(path);
    engines.push(engine);
    await engine.init();
    return engine;
}

async function optionCatalogue() {
    const engine = await start(full);
    const announced = spawnSync(binary, ['--options', 'full'], { input: 'uci\nquit\n' })
        .stdout.toString()
        .split('\n')
        .filter((line) => line.startsWith('option name '))
        .map((line) => line.slice('option name '.length, line.indexOf(' type ')));
    const dropped = announced.filter((name) => !engine.options.has(name));
    check(JSON.stringify(dropped) === JSON.stringify(KnownDropped),
          `node-uci drops ${JSON.stringify(dropped)}, expected ${JSON.stringify(KnownDropped)}`);
    check(engine.id.name === 'pawnlark', `id name ${engine.id.name}`);
    await engine.setoption('Playing Style', 'Risky Play');
    await engine.quit();
}

async function chess960Game() {
    const engine = await start(plain);
    await engine.setoption('UCI_Chess960', 'true');
    await engine.ucinewgame();
    const fen = 'bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf - 2 9';
    const moves = [];
    for (let ply = 0; ply < 30; ++ply) {
        await engine.position(fen, moves);
        const result = await engine.go({ wtime: 60000, btime: 60000, winc: 100, binc: 100 });
        if (!result.bestmove || result.bestmove === '0000') break;
        check(/^[a-h][1-8][a-h][1-8][nbrq]?$/.test(result.bestmove), `move ${result.bestmove}`);
        moves.push(result.bestmove);
    }
    check(moves.length >= 10, `a Chess960 game of ${moves.length} plies`);
    await engine.quit();
}

async function clockSearch() {
    const engine = await start(plain);
    await engine.position('startpos', ['e2e4']);
    const result = await engine.go({ wtime: 1000, btime: 1000, winc: 10, binc: 10 });
    check(!!result.bestmove && result.info.length >= 1, `clock search ${JSON.stringify(result)}`);
    await engine.quit();
}

async function endlessThinking() {
    const engine = await start(thinking);
    await engine.setoption('MultiPV', '3');
    await engine.position('startpos', []);
    const depths = new Map();
    engine.goInfinite().on('data', (info) => {
        if (info.depth) depths.set(info.depth, (depths.get(info.depth) || 0) + 1);
    });
    await new Promise((resolve) => setTimeout(resolve, 1000));
    const result = await engine.stop();
    const deepest = Math.max(0, ...depths.keys());
    check(deepest >= 3, `thinking reached depth ${deepest}`);
    for (let depth = 1; depth <= deepest; ++depth) {
        check(depths.has(depth), `no info event at depth ${depth}`);
    }
    check(!!result.bestmove, 'no bestmove after stop');
    await engine.quit();
}

async function main() {
    // Nothing may hang: every engine is killed and the run fails after a minute.
    const guard = setTimeout(() => {
        failures.push('timed out');
        finish();
    }, 60000);
    try {
        await optionCatalogue();
        await chess960Game();
        await clockSearch();
        await endlessThinking();
    } catch (error) {
        failures.push(String(error));
    }
    clearTimeout(guard);
    finish();
}

function finish() {
    for (const engine of engines) {
        if (engine.proc) engine.proc.kill('SIGKILL');
    }
    for (const failure of failures) console.error(`node-uci: ${failure}`);
    process.exit(failures.length === 0 ? 0 : 1);
}

main();
