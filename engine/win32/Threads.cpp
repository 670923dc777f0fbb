#include "engine/Platform.h"

#include <windows.h>

#include <memory>
#include <process.h>

namespace kestrin {

namespace {

unsigned __stdcall RunJob(void* job)
{
    const std::unique_ptr<std::function<void()>> owned(static_cast<std::function<void()>*>(job));
    (*owned)();
    return 0;
}

} // namespace

bool StartDetachedThread(std::function<void()> job)
{
    auto owned = std::make_unique<std::function<void()>>(std::move(job));
    // The C runtime's own start, so that the job may use all of it.
    const std::uintptr_t thread = _beginthreadex(nullptr, 0, &RunJob, owned.get(), 0, nullptr);
    if (thread == 0)
        return false;
    owned.release(); // the thread frees it
    (void)CloseHandle(reinterpret_cast<HANDLE>(thread)); // nobody waits for it
    return true;
}

} // namespace kestrin
