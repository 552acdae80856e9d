"""INI files and catalogs through device paths: a round trip saved the library's way, read
back by the tool, refusals with the tool's reasons, and failures as OSError."""

import os
import pathlib

import pytest

import fieldkit


# Fault: a path with .. climbing above the device root; bytes taken as a path
def test_paths_are_device_paths(device_root):
    assert fieldkit.get_device_root() == str(device_root)
    assert fieldkit.host_path("\\Jobs\\Site.ini") == str(device_root / "Jobs" / "Site.ini")
    assert fieldkit.host_path("Jobs/Site.ini") == str(device_root / "Jobs" / "Site.ini")
    assert fieldkit.host_path("\\..\\..\\x") == str(device_root / "x")  # never above the root
    with pytest.raises(TypeError):
        fieldkit.Ini(b"/Site.ini")


# Fault: a value's type or blanks changed between the module, the file and the tool
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


# Fault: a UTF-16 settings file read as empty, so a save keeps only the new key
def test_ini_keeps_the_keys_of_a_file_saved_as_unicode(device_root):
    # A PC editor's "Unicode" is UTF-16 with a byte-order mark; a save once left only the new key.
    (device_root / "pc.ini").write_bytes("[H\u00f6he]\r\nName=M\u00fcller\r\n".encode("utf-16"))
    with fieldkit.Ini("/pc.ini") as ini:
        ini.set("T", "x", "1")
    saved = "[H\u00f6he]\nName=M\u00fcller\n\n[T]\nx=1\n\n"  # "H\u00f6he" -> bucket 1, "T" -> 16
    assert (device_root / "pc.ini").read_bytes() == saved.encode()


# Fault: a block left by an exception still saving its changes
def test_ini_context_manager_saves_only_a_clean_block(device_root):
    with fieldkit.Ini("/a.ini") as ini:
        ini.set("S", "k", "1")
    assert (device_root / "a.ini").read_text() == "[S]\nk=1\n\n"
    with pytest.raises(RuntimeError):
        with fieldkit.Ini("/a.ini") as ini:
            ini.set("S", "k", "2")
            raise RuntimeError
    assert (device_root / "a.ini").read_text() == "[S]\nk=1\n\n"


# Fault: a section or key the file cannot hold accepted, or refused with another reason
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


# Fault: a value cut at its first line break when saved; numpy numbers written otherwise
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


def raised_as(error, call, filename):
    """The OSError subclass that open() raises for the failure, with errno and filename."""
    with pytest.raises(error) as raised:
        call()
    assert raised.value.errno is not None and raised.value.filename == filename
    return raised.value


# Fault: every failure a bare OSError, or a folder reported as a refused permission
def test_failures_are_the_oserrors_open_raises(device_root):
    # Guards against every failure coming out as a bare OSError, or as the wrong subclass
    # because the library reports a folder with the code of a refused permission.
    (device_root / "folder.ini").mkdir()
    (device_root / "file.ini").write_text("[S]\nk=v\n")
    for make in (fieldkit.Ini, fieldkit.Catalog):
        e = raised_as(IsADirectoryError, lambda: make("/folder.ini"), "/folder.ini")
        assert "cannot read" in str(e)
        raised_as(FileNotFoundError, lambda: make(""), "")  # as open('') does
    raised_as(FileNotFoundError, lambda: fieldkit.Catalog("/none.po"), "/none.po")
    raised_as(FileNotFoundError, lambda: fieldkit.Catalog("/no/x.po"), "/no/x.po")

    ini = fieldkit.Ini("/missing/x.ini")  # a missing file, or folder, starts empty
    ini.set("S", "k", "v")
    e = raised_as(FileNotFoundError, ini.save, "/missing/x.ini")
    assert "cannot save" in str(e)
    raised_as(FileNotFoundError, lambda: ini.save("/file.ini/x.ini"), "/file.ini/x.ini")
    raised_as(IsADirectoryError, lambda: ini.save("folder.ini"), "folder.ini")
    raised_as(FileNotFoundError, lambda: ini.save(""), "")
    assert (device_root / "file.ini").read_text() == "[S]\nk=v\n"


# Fault: a refused save reported as success, or the old file lost
def test_a_refused_save_is_a_permission_error_and_keeps_the_file(device_root):
    ini = fieldkit.Ini("/new.ini")
    ini.set("S", "k", "v")
    (device_root / "kept.ini").write_text("[Old]\na=1\n")
    os.chmod(device_root, 0o500)
    try:
        if os.access(device_root, os.W_OK):
            pytest.skip("root writes into a read-only folder: nothing to refuse")
        raised_as(PermissionError, lambda: ini.save("/kept.ini"), "/kept.ini")
    finally:
        os.chmod(device_root, 0o700)
    assert (device_root / "kept.ini").read_text() == "[Old]\na=1\n"


# Fault: an empty device root taken as "/", switching the fence off
def test_set_device_root_refuses_what_is_no_folder(device_root):
    # The library would take '' as "/", switching the fence off, and a missing folder as an
    # empty device; each refusal leaves the root as it was.
    (device_root / "file").write_text("")
    with pytest.raises(ValueError, match="may not be empty: ''"):
        fieldkit.set_device_root("")
    missing, file = str(device_root / "missing"), device_root / "file"
    raised_as(FileNotFoundError, lambda: fieldkit.set_device_root(missing), missing)
    raised_as(NotADirectoryError, lambda: fieldkit.set_device_root(file), str(file))
    assert fieldkit.get_device_root() == str(device_root)
    (device_root / "sub").mkdir()
    fieldkit.set_device_root(device_root / "sub")  # os.PathLike, and the root does change
    assert fieldkit.get_device_root() == str(device_root / "sub")


# Fault: keys matched without regard to case; a repeated section not replacing the first
def test_ini_reads_files_as_its_docstring_says(device_root):
    (device_root / "t.ini").write_text(
        "top=1\n; note\n[S]\nk=1\nK=2\n k = v \n; a=b\nk=3\nword\nx:y\n[T]\nt=1\n"
        "[R]\ngone=1\n[R]\nkept=a=b\n")
    ini = fieldkit.Ini("/t.ini")
    assert sorted(ini.sections()) == ["R", "S", "T"]
    assert sorted(ini.keys("S")) == [" k ", "; a", "K", "k"]
    assert (ini.get("S", "k"), ini.get("S", "K"), ini.get("S", " k ")) == ("3", "2", " v ")
    assert ini.keys("R") == ["kept"] and ini.get("R", "kept") == "a=b"
    (device_root / "w.ini").write_bytes("[S]\nk=M\u00fcller\n".encode("cp1252"))
    assert fieldkit.Ini("/w.ini").get("S", "k") == "M\u00fcller"


# Fault: a missing translation giving empty text instead of the text itself
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


# Fault: a fuzzy or empty entry skipped, or a context's entry winning over the plain one
def test_catalogs_read_files_as_their_docstring_says(device_root):
    (device_root / "t.po").write_text(
        'msgid ""\nmsgstr "Language: de\\n"\n\n'
        '#, fuzzy\nmsgid "Fuzzy"\nmsgstr "Unscharf"\n\n'
        'msgctxt "menu"\nmsgid "Open"\nmsgstr "\u00d6ffnen"\n\n'
        'msgctxt "door"\nmsgid "Open"\nmsgstr "Offen"\n\n'
        'msgid "file"\nmsgid_plural "files"\nmsgstr[0] "Datei"\nmsgstr[1] "Dateien"\n\n'
        'msgid "Empty"\nmsgstr ""\n', encoding="utf-8")
    c = fieldkit.Catalog("/t.po")
    assert [c.gettext(t) for t in ("Fuzzy", "Open", "file", "files", "Empty", "")] == \
        ["Unscharf", "Offen", "file", "files", "Empty", ""]
    assert c.gettext("~") == "Language: de\n"
