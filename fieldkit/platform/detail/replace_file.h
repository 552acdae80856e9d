// The whole-file replacement (internal): a new version written beside the target and renamed
// over it. Copies, saves and BeginReplaceFile share it, so one place decides what a crash leaves.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "fieldkit/platform/detail/device_root.h"

namespace fieldkit::detail {

// A random name beside `name`, unlikely to be taken; O_EXCL makes sure.
std::string RandomName(const std::string& name);

// A new version of a file, written beside it and put in its place in one step.
class Replacement {
  public:
    Replacement() = default;
    ~Replacement() { Abort(); }
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    // Starts replacing the entry `name` of `folder` (which must stay open until the end, see
    // KeepFolder), described by `old` when it exists. A link there is replaced itself (the
    // callers that write through links resolve them first). With `keepHidden` the old file's
    // hidden mark carries over. A name that is free is taken without replacing anything (the
    // new file has no name until then, where the file system allows); when another writer put
    // a file there meanwhile, it is replaced only with `replaceNew` (and when this process
    // may), else EEXIST.
    bool Begin(int folder, const std::string& name, bool exists, const struct stat& old,
               bool keepHidden, bool replaceNew = true);

    // Makes the replacement own the folder descriptor given to Begin.
    void KeepFolder(UniqueFd folder) { m_ownFolder = std::move(folder); }

    int Fd() const { return m_file.Get(); }

    // The permissions the new version gets instead of the old file's.
    void SetMode(mode_t mode) {
        m_mode = mode;
        m_hasMode = true;
    }

    // Flushes the new version to disk, gives it its mode, the old file's owner where permitted
    // and its hidden mark, and puts it in place; with `syncFolder` the rename itself is made
    // durable too.
    bool Commit(bool syncFolder) { return Flush() && Install(syncFolder); }

    bool Flush();

    // Commit without the flush, for new versions already flushed together (see Hold) and new
    // files, which are not flushed one by one.
    bool Install(bool syncFolder);

    // Removes the new version unless it was put in place.
    void Abort();

  private:
    bool Failed();
    bool Rename() const;
    bool PlaceNew();
    bool ReplaceNewcomer();

    UniqueFd m_ownFolder;  // declared before m_file: the file goes first
    int m_folder = -1;
    UniqueFd m_file;
    std::string m_name;
    std::string m_temp;      // the new file's name; empty while it has none
    bool m_pending = false;  // written, neither put in place nor removed yet
    struct stat m_old {};
    struct stat m_new {};  // the new file, when it has a name
    mode_t m_mode = 0;
    bool m_hasMode = false;
    bool m_exists = false;
    bool m_keep = false;
    bool m_hidden = false;
    bool m_replaceNew = true;
};

// New versions of files held back so that they reach the disk together: one flush of the file
// system for many files instead of one each, which a copy of a whole folder onto an older copy
// would otherwise pay per file. Each still replaces its target in one step, and a failure
// leaves every target not yet replaced as it was.
class HeldReplacements {
  public:
    bool Add(std::unique_ptr<Replacement> replacement);

    // Flushes every held file, then renames each over its target, in the order they came.
    bool PutInPlace();

  private:
    // Each held file keeps a descriptor open: a quarter of what the process may open, so the
    // application keeps room for its own files.
    static std::size_t MaxHeld();

    std::vector<std::unique_ptr<Replacement>> m_held;
};

}  // namespace fieldkit::detail
