#!/usr/bin/python3
"""Cross-checks the SMS codec's fixtures against python3-gammu (Debian package
python3-gammu; only needed when the fixtures change, never by the test suite).

  check_fixtures.py check      decode ../data/submit_fixtures.json with gammu
  check_fixtures.py deliver    write gammu-made DELIVER PDUs into
                               ../data/deliver_fixtures.json (keeping the
                               node-pdu entries that make_deliver_fixtures.cjs wrote)
"""
import binascii
import datetime
import json
import os
import sys

import gammu

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'data')


# GSM 7-bit default alphabet (TS 23.038 6.2.1), escape position as U+00A0.
DEFAULT = ('@£$¥èéùìòÇ\nØø\rÅåΔ_ΦΓΛΩΠΨΣΘΞ\u00a0ÆæßÉ !"#¤%&\'()*+,-./0123456789:;<=>?'
           '¡ABCDEFGHIJKLMNOPQRSTUVWXYZÄÖÑÜ§¿abcdefghijklmnopqrstuvwxyzäöñüà')
EXTENSION = '\f^{}\\[~]|€'


def masked(text, gammu_text):
    """gammu knows no national single-shift table: it shows an escape pair as
    a superscript one and the default character. Compare with every
    national letter masked."""
    ours = ''.join(c if c in DEFAULT or c in EXTENSION else '?' for c in text)
    theirs, i = '', 0
    while i < len(gammu_text):
        if gammu_text[i] == '\u00b9' and i + 1 < len(gammu_text):
            theirs += '?'
            i += 2
        else:
            theirs += gammu_text[i]
            i += 1
    return ours == theirs


def check():
    with open(os.path.join(DATA, 'submit_fixtures.json'), encoding='utf-8') as f:
        cases = json.load(f)
    failures = 0
    for case in cases:
        parts = [gammu.DecodePDU(binascii.unhexlify(p)) for p in case['pdus']]
        problems = []
        if any(p['Number'] != case['number'] for p in parts):
            problems.append('number %r' % [p['Number'] for p in parts])
        if len(parts) > 1:
            udhs = [p['UDH'] for p in parts]
            if [u['PartNumber'] for u in udhs] != list(range(1, len(parts) + 1)):
                problems.append('part numbers %r' % [u['PartNumber'] for u in udhs])
            if any(u['AllParts'] != len(parts) or u['ID8bit'] != case['reference'] for u in udhs):
                problems.append('concatenation %r' % udhs)
        linked = gammu.LinkSMS([[p] for p in parts])
        text = ''.join(p['Text'] for p in parts)
        if len(linked) == 1 and len(parts) > 1:
            decoded = gammu.DecodeSMS(linked[0])
            if decoded and decoded['Entries'][0].get('Buffer'):
                text = decoded['Entries'][0]['Buffer']
        national = any(c not in DEFAULT and c not in EXTENSION for c in case['text'])
        if national and all(p['UDH']['Type'] == 'UserUDH' for p in parts) and len(parts) > 1:
            problems = [x for x in problems if not x.startswith(('part numbers', 'concatenation'))]
            note = ' (gammu reads no language header: concatenation not compared)'
        else:
            note = ''
        if text != case['text'] and not (national and masked(case['text'], text)):
            if '\x00' in text and text.split('\x00')[0] == case['text']:
                note += ' (gammu appends padding after an escape-holding text; node-pdu agrees exactly)'
            else:
                problems.append('text %r' % text)
        elif national and text != case['text']:
            note += ' (national letters masked: gammu has no single-shift tables)'
        case['note'] = note
        status = 'ok' if not problems else 'DIFFERS: ' + '; '.join(problems)
        failures += bool(problems)
        print('%-14s %d PDU(s) %s%s' % (case['name'], len(parts), status, case['note']))
    print('%d of %d cases agree' % (len(cases) - failures, len(cases)))
    return failures


def gammu_deliver(number, text, udh=None, coding='Default_No_Compression'):
    message = {
        'Number': number, 'Text': text, 'SMSC': {'Location': 0, 'Number': '+491710760000'},
        'Folder': 1, 'Location': 0, 'InboxFolder': 1, 'Memory': 'SM', 'Name': '',
        'Coding': coding, 'DateTime': datetime.datetime(2024, 3, 5, 14, 7, 9),
        'SMSCDateTime': datetime.datetime(2024, 3, 5, 14, 7, 9), 'Class': -1,
        'Type': 'Deliver', 'State': 'Read', 'MessageReference': 0, 'ReplyViaSameSMSC': 0,
        'RejectDuplicates': 0, 'ReplaceMessage': 0, 'DeliveryStatus': 0,
        'UDH': udh or {'Type': 'NoUDH', 'Text': b''},
    }
    return binascii.hexlify(gammu.EncodePDU(message, 'Deliver')).decode().upper()


def deliver():
    path = os.path.join(DATA, 'deliver_fixtures.json')
    cases = []
    if os.path.exists(path):
        with open(path, encoding='utf-8') as f:
            cases = [c for c in json.load(f) if not c['name'].startswith('gammu-')]
    stamp = [24, 3, 5, 14, 7, 9, 0]
    cases.append({'name': 'gammu-gsm', 'sender': '+4915112345678', 'text': 'Hallo Welt@ {ok}',
                  'timestamp': stamp,
                  'pdus': [gammu_deliver('+4915112345678', 'Hallo Welt@ {ok}')]})
    cases.append({'name': 'gammu-ucs2', 'sender': '+4915112345678', 'text': 'Привет, мир',
                  'timestamp': stamp,
                  'pdus': [gammu_deliver('+4915112345678', 'Привет, мир', coding='Unicode_No_Compression')]})
    cases.append({'name': 'gammu-alphanumeric', 'sender': 'InfoSvc', 'text': 'Code 1234',
                  'timestamp': stamp, 'pdus': [gammu_deliver('InfoSvc', 'Code 1234')]})
    parts = ['Erster Teil, ', 'zweiter Teil.']
    pdus = []
    for nr, text in enumerate(parts, 1):
        udh = {'Type': 'ConcatenatedMessages', 'Text': bytes([5, 0, 3, 0xB7, 2, nr])}
        pdus.append(gammu_deliver('+4915112345678', text, udh))
    cases.append({'name': 'gammu-concatenated', 'sender': '+4915112345678', 'text': ''.join(parts),
                  'timestamp': stamp, 'reference': 0xB7, 'parts': 2, 'pdus': list(reversed(pdus))})
    for case in cases:
        for p in case['pdus']:
            gammu.DecodePDU(binascii.unhexlify(p))  # every fixture must be valid for gammu too
    with open(path, 'w', encoding='utf-8') as f:
        json.dump(cases, f, ensure_ascii=False, indent=1)
    print('%d DELIVER cases written' % len(cases))


if __name__ == '__main__':
    if sys.argv[1:] == ['check']:
        sys.exit(1 if check() else 0)
    elif sys.argv[1:] == ['deliver']:
        deliver()
    else:
        sys.exit(__doc__)
