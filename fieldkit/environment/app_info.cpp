#include "fieldkit/environment/app_info.h"

#include <memory>
#include <new>

#include "fieldkit/environment/detail/app_record.h"
#include "fieldkit/platform/detail/locks.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/detail/process_state.h"
#include "fieldkit/platform/registry.h"

namespace fieldkit::detail {
namespace {

struct RecordState {
    fieldkit::detail::Mutex lock;
    std::unique_ptr<TAppInfo> record FIELDKIT_GUARDED_BY(lock);
    void Forget() {
        fieldkit::detail::LockGuard guard(lock);
        record.reset();
    }
};

RecordState& Records() {
    return ProcessState<RecordState>::Get();
}

struct RegistryState {
    fieldkit::detail::Mutex lock;
    bool asked FIELDKIT_GUARDED_BY(lock) = false;
    bool present FIELDKIT_GUARDED_BY(lock) = false;
    void Forget() {
        fieldkit::detail::LockGuard guard(lock);
        asked = false;
        present = false;
    }
};

RegistryState& Registry() {
    return ProcessState<RegistryState>::Get();
}

}  // namespace

TAppInfo& GetAppInfo(CString name, const CString& title, long module) {
    RecordState& s = Records();
    fieldkit::detail::LockGuard guard(s.lock);
    if (!s.record) {
        auto record = std::make_unique<TAppInfo>();
        record->name = std::move(name);
        record->title = title;
        record->module = module;
        ComputeDirectoryLayout(*record);
        // Published only when complete, so a failed layout leaves the record uncreated.
        s.record = std::move(record);
    }
    return *s.record;
}

bool HasORVVersionKey() {
    RegistryState& s = Registry();
    fieldkit::detail::LockGuard guard(s.lock);
    if (!s.asked) {
        HKEY key = nullptr;
        const LONG opened =
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\ORV\\Version", 0, KEY_READ, &key);
        // Out of memory is no answer to keep: the next call asks again.
        if (opened == static_cast<LONG>(ERROR_NOT_ENOUGH_MEMORY)) throw std::bad_alloc();
        s.present = opened == static_cast<LONG>(ERROR_SUCCESS);
        if (s.present) RegCloseKey(key);
        s.asked = true;
    }
    return s.present;
}

}  // namespace fieldkit::detail

using fieldkit::detail::GetAppInfo;
using fieldkit::detail::NoThrow;

void SetAPPInfo(const CString& name, const CString& title, long module,
                const TVersionInfo& version) {
    // Out of memory leaves the identity as it was.
    NoThrow([&] {
        fieldkit::detail::TAppInfo& info = GetAppInfo(name, title, module);
        info.name = name;
        info.title = title;
        info.module = module;
        info.version = version;
    });
}

CString GetAPPNAME() {
    return NoThrow(CString(), [] { return GetAppInfo(CString(), CString(), 0).name; });
}

CString GetAPPTITLE() {
    return NoThrow(CString(), [] { return GetAppInfo(CString(), CString(), 0).title; });
}

long GetAPPModule() {
    return NoThrow(0L, [] { return GetAppInfo(CString(), CString(), 0).module; });
}

TVersionInfo GetAPPVersion() {
    return NoThrow(TVersionInfo(), [] { return GetAppInfo(CString(), CString(), 0).version; });
}
