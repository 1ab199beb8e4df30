// SPDX-License-Identifier: GPL-2.0-or-later
// The plug-in's obs-websocket requests and events, driven by obs-websocket-js
// against real OBS. Run by ObsFlowsTest.sh inside the sandbox, with OBS up and
// obs-websocket listening on the loopback without a password.
const { default: OBSWebSocket, EventSubscription } = require('obs-websocket-js');
const { execFileSync } = require('child_process');
const fs = require('fs');

const obs = new OBSWebSocket();
const events = [];
const call = async (requestType, requestData) =>
    (await obs.call('CallVendorRequest', { vendorName: 'obs-kestrune', requestType, requestData }))
        .responseData;
// A step of the flows' shell helpers, in the OBS window the flow started.
const shell = (steps) => execFileSync('bash', ['-c', `source /src/tests/e2e/obs.sh; main=$MAIN; ${steps}`]);
const check = (name, ok, detail) => {
    if (!ok) {
        console.error(`FAIL remote/${name}: ${JSON.stringify(detail)}`);
        process.exit(1);
    }
    console.log(`-- ${name}`);
};
const state = (file) => JSON.parse(fs.readFileSync(`${process.env.SNAPSHOTS}/${file}`)).state;
const sleep = (ms) => new Promise((done) => setTimeout(done, ms));
const snapshots = async () => (await call('ListSnapshots')).snapshots;

(async () => {
    await obs.connect('ws://127.0.0.1:4455', undefined, { eventSubscriptions: EventSubscription.Vendors });
    obs.on('VendorEvent', (e) => e.vendorName === 'obs-kestrune' && events.push(e));

    await call('LoadSnapshot', { name: 'Studio' }); // docked as OBS places them, whatever it saved
    let r = await call('ListSnapshots', { unknownMember: true });
    const start = r.snapshots || [];
    check('list', r.ok && start.length >= 4 && start.every((s, i) => s.row === i + 1 &&
        /^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$/.test(s.modified) && s.file === `${s.name}.json`), r);
    r = await call('SaveSnapshot', { name: ' Remote ' });
    check('save', r.ok && r.name === 'Remote' && r.file === 'Remote.json', r);
    const listed = await snapshots();
    check('save-listed', listed.length === start.length + 1 && listed.at(-1).name === 'Remote' &&
        listed.at(-1).last && listed.filter((s) => s.last).length === 1, listed);
    await sleep(300);
    check('changed-event', events.some((e) => e.eventType === 'SnapshotsChanged'), events);

    const floated = () => fs.existsSync(`${process.env.SNAPSHOTS}/Floating.json`) &&
        state('Floating.json') !== state('Remote.json');
    for (let tries = 0; tries < 3 && !floated(); ++tries) { // a lost double click is tried again
        shell('float_scenes_dock');
        await call('SaveSnapshot', { name: 'Floating', overwrite: true });
    }
    check('dock-moved', floated(), 'the double click did not float the dock');
    events.length = 0;
    r = await call('LoadSnapshot', { name: 'REMOTE' });
    await call('SaveSnapshot', { name: 'Back' });
    check('load-name', r.ok && r.name === 'Remote' && state('Back.json') === state('Remote.json'), r);
    await sleep(300);
    check('loaded-event', events.some((e) => e.eventType === 'SnapshotLoaded' &&
        e.eventData.name === 'Remote' && e.eventData.file === 'Remote.json' && e.eventData.trigger === 'remote'), events);

    const order = (await snapshots()).map((s) => s.name);
    r = await call('LoadSnapshot', { row: 2 });
    check('load-row', r.ok && r.name === order[1], r);
    r = await call('LoadNextSnapshot');
    check('next', r.ok && r.name === order[2], r);
    r = await call('LoadPreviousSnapshot', { ignoreMissingDocks: false });
    check('previous', r.ok && r.name === order[1], r);

    const ghost = JSON.parse(fs.readFileSync(`${process.env.SNAPSHOTS}/Remote.json`));
    ghost.name = 'Ghost';
    ghost.docks.push('ghostDock');
    fs.writeFileSync(`${process.env.SNAPSHOTS}/Ghost.json`, JSON.stringify(ghost));
    r = await call('LoadSnapshot', { name: 'ghost' });
    check('missing-docks', !r.ok && r.error && JSON.stringify(r.missingDocks) === '[{"name":"ghostDock"}]' &&
        (await snapshots()).find((s) => s.last).name === order[1], r);
    r = await call('LoadSnapshot', { name: 'Ghost', ignoreMissingDocks: true });
    check('missing-docks-ignored', r.ok && r.name === 'Ghost', r);

    const before = JSON.stringify(await snapshots());
    const bad = [['LoadSnapshot', {}], ['LoadSnapshot', { name: 5 }], ['LoadSnapshot', { row: '1' }],
        ['LoadSnapshot', { row: 2.5 }], ['LoadSnapshot', { row: 0 }], ['LoadSnapshot', { row: 999 }],
        ['LoadSnapshot', { name: 'nothing like it' }], ['LoadSnapshot', { name: 'Remote', ignoreMissingDocks: 1 }],
        ['LoadNextSnapshot', { ignoreMissingDocks: 'no' }], ['SaveSnapshot', {}], ['SaveSnapshot', { name: 7 }],
        ['SaveSnapshot', { name: 'a/b' }], ['SaveSnapshot', { name: 'remote' }],
        ['SaveSnapshot', { name: 'Remote', overwrite: 'yes' }]];
    for (const [request, data] of bad) {
        r = await call(request, data);
        check(`refused ${request} ${JSON.stringify(data)}`, r.ok === false && /\w+.*\./.test(r.error), r);
    }
    check('refused-changes-nothing', JSON.stringify(await snapshots()) === before, 'the list changed');
    r = await call('SaveSnapshot', { name: 'remote', overwrite: true });
    check('overwrite', r.ok && r.name === 'Remote' && r.file === 'Remote.json', r);

    shell('open_dialog && key ctrl+f Tab Tab space && wait_until 10 eval "prompt >/dev/null"');
    r = await call('ListSnapshots');
    shell('key Escape && sleep 0.5 && key Escape');
    check('busy-while-prompting', r.ok === false && /busy/.test(r.error), r);
    check('answers-again', (await call('ListSnapshots')).ok, 'no answer once the prompt closed');
    // Switching to a profile linked to a snapshot loads it.
    await obs.call('CreateProfile', { profileName: 'Linked' });
    await sleep(1000);
    check('profile-link', (await snapshots()).find((s) => s.last).name === 'Review', await snapshots());
    await obs.disconnect();
})().catch((error) => check('client', false, String(error)));
