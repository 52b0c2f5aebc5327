// SPDX-License-Identifier: GPL-3.0-or-later
// A receiving UI for tests that shows nothing and keeps the messages it was
// asked to show, in order.
#pragma once

#include <vector>

#include "session/ReceiveContext.h"

class CMessageLogUi : public CReceiveUi {
  public:
    void OpenRecvProgress(int) override {}
    void SetRecvProgress(int) override {}
    void CloseRecvProgress() override {}
    void ShowMessage(res::StringId nMessage) override { messages.push_back(nMessage); }
    std::vector<res::StringId> messages;
};
