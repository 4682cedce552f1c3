#!/usr/bin/env python3
"""Writes two events with python3-icalendar, as the calendar reader test
reads them: a timed weekly event with a display alarm and an all-day
monthly one."""
import sys
from datetime import datetime, date, timedelta, timezone
from icalendar import Alarm, Calendar, Event

cal = Calendar()
cal.add('version', '2.0')
cal.add('prodid', '-//test//python-icalendar//EN')
review = Event()
review.add('uid', 'ev-1')
review.add('summary', 'Weekly review')
review.add('dtstart', datetime(2024, 3, 1, 9, 0, tzinfo=timezone.utc))
review.add('dtend', datetime(2024, 3, 1, 10, 30, tzinfo=timezone.utc))
review.add('rrule', {'freq': 'weekly', 'interval': 2, 'byday': ['MO', 'TH'], 'count': 10})
alarm = Alarm()
alarm.add('trigger', timedelta(minutes=-15))
alarm.add('action', 'DISPLAY')
alarm.add('description', 'Reminder')
review.add_component(alarm)
cal.add_component(review)
holiday = Event()
holiday.add('uid', 'ev-2')
holiday.add('summary', 'Holiday')
holiday.add('dtstart', date(2024, 3, 31))
holiday.add('dtend', date(2024, 4, 2))
holiday.add('rrule', {'freq': 'monthly', 'byday': '2TU'})
cal.add_component(holiday)
sys.stdout.buffer.write(cal.to_ical())
