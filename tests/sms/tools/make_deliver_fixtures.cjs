// Writes SMS-DELIVER PDUs made by the npm package node-pdu (an independent
// encoder) into ../data/deliver_fixtures.json, keeping the gammu entries that
// check_fixtures.py adds. Only needed when the fixtures change:
//   npm install node-pdu && NODE_PATH=node_modules node make_deliver_fixtures.cjs
// Also decodes ../data/submit_fixtures.json with node-pdu and reports.
const fs = require('fs');
const path = require('path');
const { Deliver, parse, utils } = require('node-pdu');
const { SCTS } = utils;

const data = path.join(__dirname, '..', 'data');
const file = path.join(data, 'deliver_fixtures.json');
const kept = fs.existsSync(file)
    ? JSON.parse(fs.readFileSync(file, 'utf8')).filter((c) => !c.name.startsWith('node-pdu-'))
    : [];

// 2024-03-05 14:07:09 local time of a service centre at the given offset.
function stamp(offsetMinutes) {
    const utc = Date.UTC(2024, 2, 5, 14, 7, 9) - offsetMinutes * 60000;
    return new SCTS(new Date(utc), offsetMinutes);
}

function deliver(name, sender, text, offsetMinutes) {
    const d = new Deliver(sender, text, { serviceCenterTimeStamp: stamp(offsetMinutes) });
    d.setServiceCenterAddress('+491710760000');
    return d;
}

const cases = [];
for (const [label, minutes] of [['utc-4', -240], ['utc-5', -300], ['utc+5:45', 345], ['utc-9:30', -570]]) {
    const d = deliver('node-pdu-' + label, '+15551234567', 'Zone test ' + label, minutes);
    cases.push({ name: 'node-pdu-' + label, sender: '+15551234567', text: 'Zone test ' + label,
        timestamp: [24, 3, 5, 14, 7, 9, minutes / 15], pdus: d.getPartStrings() });
}
// Long texts: node-pdu splits them with a 16-bit reference header.
const long = 'Part of a long message that node-pdu cuts into pieces with a sixteen-bit reference. '.repeat(3);
{
    const d = deliver('node-pdu-concat16', '+4915112345678', long, 60);
    const header = d.data.parts[0].header;
    const pdus = d.getPartStrings();
    cases.push({ name: 'node-pdu-concat16', sender: '+4915112345678', text: long,
        timestamp: [24, 3, 5, 14, 7, 9, 4], reference: header.getPointer(), parts: pdus.length,
        pdus: pdus.slice(1).concat(pdus.slice(0, 1)) });
}
const ucs2 = 'Добрый день! Это длинное сообщение в кодировке UCS2, разбитое на части. '.repeat(2);
{
    const d = deliver('node-pdu-ucs2-concat16', '+79161234567', ucs2, -180);
    const pdus = d.getPartStrings();
    cases.push({ name: 'node-pdu-ucs2-concat16', sender: '+79161234567', text: ucs2,
        timestamp: [24, 3, 5, 14, 7, 9, -12], reference: d.data.parts[0].header.getPointer(),
        parts: pdus.length, pdus });
}
fs.writeFileSync(file, JSON.stringify(kept.concat(cases), null, 1) + '\n');
console.log(cases.length + ' node-pdu DELIVER cases written');

for (const c of JSON.parse(fs.readFileSync(path.join(data, 'submit_fixtures.json'), 'utf8'))) {
    const parsed = c.pdus.map((p) => parse(p));
    const text = parsed.map((p) => p.data.getText()).join('');
    const numbers = parsed.every((p) => '+' + p.address.phone === c.number || p.address.phone === c.number);
    console.log(c.name.padEnd(14), text === c.text && numbers ? 'ok' : 'DIFFERS ' + JSON.stringify(text).slice(0, 80));
}
