#pragma once

#include "resources/Resource.h"
#include "ui/framework/qt/WinApp.h"

#include <cstdint>
#include <vector>

namespace kestrin::test {

// An application object whose map routes Help to the default help handler, as the program's
// does, and which records the topics asked for instead of showing them.
class TestApp : public CWinApp {
public:
    std::vector<std::uint32_t> topics;

    const MessageMap& GetMessageMap() const override
    {
        static constexpr MessageMapEntry kEntries[] = { OnCommand<&CWinApp::OnHelp>(ID_HELP) };
        static const MessageMap kMap { &CWinApp::GetMessageMap(), kEntries };
        return kMap;
    }

protected:
    void ShowHelpTopic(std::uint32_t contextId) override { topics.push_back(contextId); }
};

} // namespace kestrin::test
