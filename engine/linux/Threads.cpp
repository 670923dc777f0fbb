#include "engine/Platform.h"

#include <system_error>
#include <thread>

namespace kestrin {

bool StartDetachedThread(std::function<void()> job)
{
    try {
        std::thread(std::move(job)).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

} // namespace kestrin
