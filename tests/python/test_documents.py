"""INI files and catalogs through device paths: a round trip saved the library's way, read
back by the tool, refusals with the tool's reasons, and failures as OSError."""

import os
import pathlib

import pytest

import fieldkit


def test_paths_are_device_paths(device_root):
    assert fieldkit.get_device_root() == str(device_root)
    assert fieldkit.host_path("\\Jobs\\Site.ini") == str(device_root / "Jobs" / "Site.ini")
    assert fieldkit.host_path("Jobs/Site.ini") == str(device_root / "Jobs" / "Site.ini")
    assert fieldkit.host_path("\\..\\..\\x") == str(device_root / "x")  # never above the root
    with pytest.raises(TypeError):
        fieldkit.Ini(b"/Site.ini")


def test_ini_round_trip(device_root, tool):
    (device_root / "Jobs").mkdir()
    ini = fieldkit.Ini("Jobs/Site.ini")  # relative to the device root: there is no other folder
    assert ini.sections() == []
    ini.set("General", "units", "ft")
    ini.set("Station", "Height", 1.5)
    ini.set("Station", "Count", 3)
    ini.set("Station", "Big", 2**40)
    ini.set("Station", "Tilt", True)
    ini.set("Notes", "text", " two words ")
    ini.set("Notes", "empty", "")
    ini.save()

    again = fieldkit.Ini(pathlib.PurePosixPath("/Jobs/Site.ini"))
    assert again.sections() == ini.sections()
    assert set(again.sections()) == {"General", "Station", "Notes"}
    assert again.keys("Station") == ini.keys("Station")
    assert [again.get("Station", k) for k in ("Height", "Count", "Big", "Tilt")] == \
        ["1.500000000000", "3", "1099511627776", "1"]
    assert again.get("Notes", "text") == " two words "
    assert again.get("Notes", "empty") == ""
    assert again.get("Notes", "missing") is None and again.get("No", "x", "d") == "d"
    assert "Notes" in again and "notes" not in again  # names compare exactly
    with pytest.raises(KeyError):
        again.keys("notes")

    # The file as the library saves it is what the tool lists, section by section.
    host = device_root / "Jobs" / "Site.ini"
    status, out, _ = tool("ini", "list", str(host))
    assert status == 0 and host.read_text(encoding="utf-8") == out
    assert out.startswith(f"[{ini.sections()[0]}]\n")

    again.remove("Station", "Count")
    again.remove("Station", "Nothing")
    again.save()
    assert fieldkit.Ini("/Jobs/Site.ini").keys("Station") == \
        [k for k in ini.keys("Station") if k != "Count"]


def test_ini_keeps_the_keys_of_a_file_saved_as_unicode(device_root):
    # A PC editor's "Unicode" is UTF-16 with a byte-order mark; a save once left only the new key.
    (device_root / "pc.ini").write_bytes("[H\u00f6he]\r\nName=M\u00fcller\r\n".encode("utf-16"))
    with fieldkit.Ini("/pc.ini") as ini:
        ini.set("T", "x", "1")
    saved = "[H\u00f6he]\nName=M\u00fcller\n\n[T]\nx=1\n\n"  # "H\u00f6he" -> bucket 1, "T" -> 16
    assert (device_root / "pc.ini").read_bytes() == saved.encode()


def test_ini_context_manager_saves_only_a_clean_block(device_root):
    with fieldkit.Ini("/a.ini") as ini:
        ini.set("S", "k", "1")
    assert (device_root / "a.ini").read_text() == "[S]\nk=1\n\n"
    with pytest.raises(RuntimeError):
        with fieldkit.Ini("/a.ini") as ini:
            ini.set("S", "k", "2")
            raise RuntimeError
    assert (device_root / "a.ini").read_text() == "[S]\nk=1\n\n"


@pytest.mark.parametrize("section, key", [("A", "k=v"), ("A", "[k"), ("A\nB", "k"),
                                          ("A", "k\r")])
def test_ini_refuses_names_with_the_tools_reasons(device_root, tool, section, key):
    host = device_root / "r.ini"
    status, _, err = tool("ini", "set", str(host), section, key, "v")
    assert status == 2
    ini = fieldkit.Ini("/r.ini")
    with pytest.raises(ValueError) as raised:
        ini.set(section, key, "v")
    assert err == f"fieldkit: ini: {raised.value}\n"
    assert ini.sections() == []


def test_ini_refuses_line_breaks_in_values_and_takes_numpy_numbers(device_root):
    # Guards against a value cut at its first line break when saved, and numpy numbers refused
    # or written in another form than the Python numbers they stand for.
    np = pytest.importorskip("numpy")
    ini = fieldkit.Ini("/v.ini")
    for text in ("first\nsecond", "first\r", "\r\n"):
        with pytest.raises(ValueError, match="line break"):
            ini.set("S", "k", text)
    assert ini.sections() == []
    for value, python in [(np.int64(7), 7), (np.int8(-3), -3), (np.uint64(2**40), 2**40),
                          (np.float32(0.5), 0.5), (np.float64(1.25), 1.25),
                          (np.bool_(True), True)]:
        ini.set("S", "numpy", value)
        ini.set("S", "python", python)
        assert ini.get("S", "numpy") == ini.get("S", "python"), value
    with pytest.raises(TypeError, match="not complex"):
        ini.set("S", "k", 1j)


def test_ini_failures_are_oserrors(device_root):
    (device_root / "folder.ini").mkdir()
    with pytest.raises(OSError, match="cannot read '/folder.ini'"):
        fieldkit.Ini("/folder.ini")
    ini = fieldkit.Ini("/missing/x.ini")  # a missing file starts empty
    ini.set("S", "k", "v")
    with pytest.raises(OSError, match="cannot save"):
        ini.save()
    (device_root / "kept.ini").write_text("[Old]\na=1\n")
    os.chmod(device_root, 0o500)
    try:
        if os.access(device_root, os.W_OK):
            pytest.skip("running as root: the folder stays writable")
        with pytest.raises(OSError):
            ini.save("/kept.ini")
    finally:
        os.chmod(device_root, 0o700)
    assert (device_root / "kept.ini").read_text() == "[Old]\na=1\n"


def test_catalogs(device_root, tool):
    (device_root / "de.po").write_text('msgid "Cancel"\nmsgstr "Abbrechen"\n', encoding="utf-8")
    (device_root / "fr.po").write_text('msgid "Cancel"\nmsgstr "Annuler"\n', encoding="utf-8")
    de = fieldkit.Catalog("/de.po")
    fr = fieldkit.Catalog(device_root.joinpath("fr.po").relative_to(device_root))
    assert (de.gettext("Cancel"), fr.gettext("Cancel")) == ("Abbrechen", "Annuler")
    assert de.gettext("Höhe") == "Höhe"  # untranslated: the text itself
    for text in ("Cancel", "Höhe"):
        status, out, _ = tool("po", "lookup", str(device_root / "de.po"), text)
        assert status == 0 and out == de.gettext(text) + "\n"
    with pytest.raises(OSError, match="cannot read"):
        fieldkit.Catalog("/none.po")
