#!/usr/bin/python3
"""The learner's work against the real program, one row a case, each a fresh run with folders of
its own (learner_work_test.sh gives the screen and the buses):
  - a text loaded from out/lesson.key.txt and saved as out/lesson.wav, whose key would take the
    text's name: the save is refused with a message and out/ stays byte for byte as it was; saved
    under another name, its key holds the loaded text's letters;
  - course.json made a folder while a transmission plays: ticking "Курс включён" and choosing
    another lesson each give a message, the data folder stays as it was, and the transmission, the
    window and F10 go on.
Every wait is a bounded poll for what the screen shows, never a time the program must keep.
Usage: learner_work.py PROGRAM HELP_DOCUMENT WORK. Exit status 1 on a fault."""
import hashlib
import os
import shutil
import subprocess
import sys
import time

import pyatspi

MAIN_WIDTH = 631  # [px] the main window's; the message boxes share its title, not its width
PROSE = ('Вечером над рекой стоял туман, и рыбаки не спешили к лодкам.\n'
         'Утром ветер переменился, туман ушёл, и лодки вышли одна за другой.\n')


class Fault(Exception):
    pass


def xdotool(*args):
    return subprocess.run(('xdotool',) + args, capture_output=True, text=True,
                          timeout=60).stdout.split()


def until(what, probe, tries=600, pause=0.05):
    for _ in range(tries):
        got = probe()
        if got:
            return got
        time.sleep(pause)
    raise Fault('no ' + what)


def snapshot(folder):
    """Every file and folder below `folder`: a folder as such, a file by its bytes' digest."""
    seen = {}
    for root, folders, files in os.walk(folder):
        for name in folders:
            seen[os.path.relpath(os.path.join(root, name), folder)] = 'folder'
        for name in files:
            with open(os.path.join(root, name), 'rb') as f:
                seen[os.path.relpath(os.path.join(root, name), folder)] = \
                    hashlib.sha256(f.read()).hexdigest()
    return seen


def same(folder, before, when):
    after = snapshot(folder)
    if after != before:
        raise Fault('%s: %s changed: before %r, after %r' % (when, folder, before, after))


class Program:
    def __init__(self, program, document, folder):
        shutil.copy(document, folder)  # no report of a missing help document at start
        env = dict(os.environ, XDG_DATA_HOME=folder + '/data', XDG_CONFIG_HOME=folder + '/config')
        self.process = subprocess.Popen([program], cwd=folder, env=env)
        try:
            self.main = until('main window', lambda: self.windows(lambda w: w == MAIN_WIDTH))
        except BaseException:
            self.process.kill()
            self.process.wait()
            raise

    def windows(self, width_fits):
        found = xdotool('search', '--onlyvisible', '--name', '^Kelvak$')
        for w in found:
            size = xdotool('getwindowgeometry', '--shell', w)
            width = [int(s[6:]) for s in size if s.startswith('WIDTH=')]
            if width and width_fits(width[0]):
                return w
        return None

    def window(self, title):
        found = xdotool('search', '--onlyvisible', '--name', '^%s$' % title)
        return found[0] if found else None

    def message_box(self):
        return until('message box', lambda: self.windows(lambda w: w != MAIN_WIDTH))

    def close_box(self, box):
        self.keys(box, 'Return')
        until('end of the message box', lambda: box not in xdotool('search', '--onlyvisible',
                                                                   '--name', '.'))

    def keys(self, window, *keys):
        xdotool('windowfocus', '--sync', window)
        xdotool('key', '--clearmodifiers', *keys)

    def type_over(self, window, text):
        """Replaces the text of the focused field, a file dialog's name, and enters it; returns once
        the dialog is gone, so that no click meant for the window below lands on it."""
        self.keys(window, 'ctrl+a')
        xdotool('type', '--delay', '20', text)
        xdotool('key', 'Return')
        until('end of the dialog', lambda: window not in xdotool('search', '--onlyvisible',
                                                                 '--name', '.'))

    def menu(self, right, down):
        """The menu bar's first menu opened with a click, `right` menus on, `down` items down: a
        menu reached with Right starts on its first item, one opened with the click on none."""
        # A click while any other window of the program shows (a closing dialog, a field's list of
        # completions) would go to that one; the keys are for the menu once it is open.
        shown = lambda: xdotool('search', '--onlyvisible', '--pid', str(self.process.pid))
        until('main window alone on the screen', lambda: shown() == [self.main])
        xdotool('windowfocus', '--sync', self.main)
        xdotool('mousemove', '--window', self.main, '20', '10', 'click', '1')
        until('menu open', lambda: len(shown()) > 1)
        xdotool('key', *(['Right'] * right + ['Down'] * down + ['Return']))

    def dialog(self, title):
        return until('window "%s"' % title, lambda: self.window(title))

    def showing(self, fits):
        """The program's controls on the screen that `fits` takes, as a screen reader finds them."""
        self.alive('reading the screen')
        def walk(node):
            if node is None or not node.getState().contains(pyatspi.STATE_SHOWING):
                return  # nor what lies within it
            if fits(node):
                yield node
            for i in range(node.childCount):
                yield from walk(node.getChildAtIndex(i))
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.get_process_id() == self.process.pid:
                return [n for k in range(app.childCount) for n in walk(app.getChildAtIndex(k))]
        return []

    def pane(self):
        """The text pane's text."""
        panes = self.showing(lambda n: n.getRoleName() == 'text' and
                             n.getState().contains(pyatspi.STATE_MULTI_LINE))
        return panes[0].queryText().getText(0, -1) if panes else None

    def says(self, words):
        """A label on the screen holding `words`."""
        return self.showing(lambda n: n.getRoleName() == 'label' and words in (n.name or ''))

    def alive(self, when):
        if self.process.poll() is not None:
            raise Fault('%s: the program ended (exit code %d)' % (when, self.process.returncode))

    def quit(self):
        """F10 ends it with exit code 0: the window still answers."""
        self.keys(self.main, 'F10')
        try:
            code = self.process.wait(timeout=60)
        except subprocess.TimeoutExpired:
            raise Fault('F10 did not end the program')
        if code != 0:
            raise Fault('exit code %d' % code)

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def loaded_text_is_never_saved_over(p, folder):
    out = folder + '/out'
    text = out + '/lesson.key.txt'
    os.makedirs(out)
    with open(text, 'w', encoding='utf-8') as f:
        f.write(PROSE)
    before = snapshot(out)
    p.menu(0, 1)  # Текст, Из Файла...
    p.type_over(p.dialog('Открыть файл с тестом'), text)
    p.menu(0, 3)  # Текст, Сохранить в звуковой файл...
    p.type_over(p.dialog('Сохранить в звуковой файл'), out + '/lesson.wav')
    box = p.message_box()
    same(out, before, 'the save refused')
    p.alive('the save refused')
    p.close_box(box)
    # Under another name, the file holds the loaded text: what the refused save would have sent.
    p.menu(0, 3)
    p.type_over(p.dialog('Сохранить в звуковой файл'), out + '/other.wav')
    until('other.wav with its key', lambda: os.path.exists(out + '/other.wav') and
          os.path.exists(out + '/other.key.txt') and
          not p.window('Сохранить в звуковой файл'), tries=1200)
    with open(out + '/other.key.txt', encoding='utf-8') as f:
        key = f.read()
    if not any('а' <= c <= 'я' or c == 'ё' for c in key.lower()):
        raise Fault('the key of other.wav holds no letter of the loaded text: %r' % key)
    before.update({k: v for k, v in snapshot(out).items() if k.startswith('other.')})
    same(out, before, 'the save under another name')


def failed_course_save_goes_on(p, folder):
    data = folder + '/data'
    p.keys(p.main, 'alt+p')
    until('text in the pane', p.pane, tries=1200)
    os.makedirs(data + '/kelvak/course.json')
    before = snapshot(data)
    p.menu(1, 3)  # Тренировка, Курс...
    course = p.dialog('Курс')
    # Tick "Курс включён", where the dialog's keyboard starts; then the next lesson, two fields on.
    for what, keys in (('the course ticked', ['space']), ('a lesson chosen', ['Tab', 'Tab', 'Up'])):
        p.keys(course, *keys)
        box = p.message_box()
        until('message naming the course file after %s' % what, lambda: p.says('course.json'))
        same(data, before, what)
        p.alive(what)
        p.close_box(box)
        shown = len(p.pane() or '')
        until('transmission going on after %s' % what, lambda: len(p.pane() or '') > shown,
              tries=1200)


ROWS = [('LoadedTextIsNeverSavedOver', loaded_text_is_never_saved_over),
        ('FailedCourseSaveGoesOn', failed_course_save_goes_on)]


def main():
    program, document, work = sys.argv[1:4]
    failed = 0
    for name, row in ROWS:
        folder = os.path.join(work, name)
        os.makedirs(folder)
        p = None
        try:
            p = Program(program, document, folder)
            row(p, folder)
            p.quit()
            print('PASS ' + name)
        except Fault as e:
            print('FAIL %s: %s' % (name, e))
            failed += 1
        finally:
            if p is not None:
                p.kill()
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
