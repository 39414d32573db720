#!/usr/bin/env python3
# Reads a JUnit report with Python's XML parser and checks its shape: only the elements and
# attributes that CI servers read, each where they expect it, and counts that agree with the
# cases. Prints what the tests compare: the suite's name and counts, then per case its class
# name, name, verdict element, that element's message and the number of exchange lines; a
# failure's text after its case; last the suite's own output.
import re, sys, xml.etree.ElementTree as ET
allowed = {  # element: (children, attributes)
    'testsuites': ({'testsuite'}, set()),
    'testsuite': ({'properties', 'testcase', 'system-out', 'system-err'},
                  {'name', 'tests', 'failures', 'errors', 'skipped', 'time', 'timestamp'}),
    'testcase': ({'failure', 'error', 'skipped', 'system-out', 'system-err'},
                 {'name', 'classname', 'time'}),
    'failure': (set(), {'message', 'type'}),
    'error': (set(), {'message', 'type'}),
    'skipped': (set(), {'message'}),
    'system-out': (set(), set()),
}
def walk(e):
    children, attributes = allowed[e.tag]
    assert set(e.attrib) <= attributes, (e.tag, e.attrib)
    for c in e:
        assert c.tag in children, (e.tag, c.tag)
        walk(c)
root = ET.parse(sys.argv[1]).getroot()
assert root.tag == 'testsuites'
walk(root)
suite, = root
cases = suite.findall('testcase')
def count(tag):
    return sum(1 for c in cases if c.find(tag) is not None)
assert int(suite.get('tests')) == len(cases)
assert int(suite.get('failures')) == count('failure')
assert int(suite.get('errors')) == count('error')
assert int(suite.get('skipped')) == count('skipped')
assert re.fullmatch(r'\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d', suite.get('timestamp'))
assert all(float(c.get('time')) >= 0 for c in cases) and float(suite.get('time')) >= 0
print(suite.get('name'), len(cases), count('failure'), count('error'), count('skipped'))
for c in cases:
    verdict = next((e for e in c if e.tag != 'system-out'), None)
    out = c.find('system-out')
    print(c.get('classname'), '|', c.get('name'), '|', verdict.tag if verdict is not None else 'pass',
          '|', (verdict.get('message') if verdict is not None else ''),
          '|', len(out.text.splitlines()) if out is not None else 0)
    if c.find('failure') is not None:
        print(c.find('failure').text)
print(suite.find('system-out').text.strip())
