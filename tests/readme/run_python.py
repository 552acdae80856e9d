"""Runs the Python examples of README.md (its ```python blocks) and compares what each prints
with the ```text block that follows it, exactly.

    run_python.py README WORK_DIR

Every example runs in WORK_DIR, emptied first, holding the files that the README's shell
sessions write with here-documents ($ cat > NAME <<'EOF'), so an example may read the files
shown above it. The module comes from PYTHONPATH, as the test sets it.
"""

import pathlib
import re
import shutil
import subprocess
import sys

FENCE = re.compile(r"^```([^\n]*)\n(.*?)^```$", re.MULTILINE | re.DOTALL)
HEREDOC = re.compile(r"^\$ cat > (\S+) <<-?'?(\w+)'?\n(.*?)^\2$", re.MULTILINE | re.DOTALL)


def main(readme, work):
    text = pathlib.Path(readme).read_text(encoding="utf-8")
    blocks = [(m.group(1).split(), m.group(2)) for m in FENCE.finditer(text)]
    work = pathlib.Path(work)
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    for info, body in blocks:
        if info[:1] == ["console"]:
            for name, _, content in HEREDOC.findall(body):
                (work / name).write_text(content, encoding="utf-8")

    ran = failed = 0
    for n, (info, body) in enumerate(blocks):
        if info[:1] != ["python"] or "skip" in info:
            continue
        if n + 1 >= len(blocks) or blocks[n + 1][0][:1] != ["text"]:
            print(f"run_python: python block {ran + 1} has no ```text block after it")
            return 1
        expected = blocks[n + 1][1]
        done = subprocess.run([sys.executable, "-c", body], cwd=work, capture_output=True,
                              text=True, encoding="utf-8")
        ran += 1
        if done.returncode != 0 or done.stderr or done.stdout != expected:
            failed += 1
            print(f"README.md: python block {ran} ({done.returncode}) prints:\n{done.stdout}"
                  f"{done.stderr}  but README.md shows:\n{expected}")
    if ran == 0:
        print("run_python: no ```python block found in README.md")
        return 1
    print(f"run_python: {ran} examples run, {failed} wrong")
    return 1 if failed else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
