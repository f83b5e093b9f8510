"""The README's Python example is the file python/examples/quickstart.py and runs."""
import os
import subprocess
import sys

ROOT = os.path.join(os.path.dirname(__file__), "..", "..")


def test_readme_example_in_sync_and_runs(tmp_path):
    name = "python/examples/quickstart.py"
    with open(os.path.join(ROOT, "README.md")) as f:
        readme = f.read()
    with open(os.path.join(ROOT, name)) as f:
        example = f.read()
    assert f"<!-- example:{name} -->\n```python\n{example}```" in readme
    out = subprocess.run([sys.executable, os.path.abspath(os.path.join(ROOT, name))], check=True,
                         capture_output=True, text=True, cwd=tmp_path).stdout
    assert f"It prints:\n\n```\n{out}```" in readme
