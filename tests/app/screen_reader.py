#!/usr/bin/python3
"""Reads the running program's main window over AT-SPI, as a screen reader does, and checks that
every control has a name and that sliders and fields give their values. Exit status 1 on a fault."""
import sys
import time

import pyatspi

CONTROLS = {'slider', 'text', 'push button', 'check box', 'radio button', 'progress bar',
            'toggle button', 'spin button'}


def find_program():
    desktop = pyatspi.Registry.getDesktop(0)
    for _ in range(200):
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and 'kelvak' in (app.name or '').lower():
                return app
        time.sleep(0.1)
    return None


def controls(node):
    if node.getRoleName() in CONTROLS:
        yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from controls(child)


def main():
    app = find_program()
    if app is None:
        print('FAIL: the program is not on the accessibility bus')
        return 1
    faults = []
    seen = {}
    for node in controls(app):
        role, name = node.getRoleName(), (node.name or '').strip()
        if not name:
            faults.append('a %s without a name' % role)
            continue
        entry = {'role': role}
        if role == 'slider':
            value = node.queryValue()
            entry['value'] = (value.currentValue, value.minimumValue, value.maximumValue)
        if role == 'text':
            entry['text'] = node.queryText().getText(0, -1)
        seen[name] = entry
        print('%-12s %r %s' % (role, name, {k: v for k, v in entry.items() if k != 'role'}))
    # The sliders as their labels name them, with the values the window shows beside them.
    expected_sliders = {'Скорость (gr/min)': (12, 0, 30), 'Сигнал, %': (100, 0, 100),
                        'Помеха, %': (0, 0, 100), 'Частота, Hz': (500, 100, 5000)}
    for name, value in expected_sliders.items():
        if seen.get(name, {}).get('value') != value:
            faults.append('slider %r: %r, expected the value %r' % (name, seen.get(name), value))
    expected_fields = {'Количество групп текста': '30', 'Пауза (тире) между знаками': '1',
                       'Пауза (тире) между группами': '2'}
    for name, text in expected_fields.items():
        if seen.get(name, {}).get('text') != text:
            faults.append('field %r: %r, expected the text %r' % (name, seen.get(name), text))
    for fault in faults:
        print('FAIL: ' + fault)
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
