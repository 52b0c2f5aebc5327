// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/relmuth-tape/PortOptions.h"

#include <cstdio>

#include "res/Strings.h"
#include "serial/CommSettings.h"
#include "serial/PortNames.h"
#include "tools/relmuth-tape/CliHost.h"

bool ParsePortOptions(const std::string& strCommand, const Args& args, CPortOptions& options) {
    options.nBaudFlag = BaudFlagFromRate(9600);
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--") {
            // Names from here on; the "--" stays, for the command's own options.
            options.rest.insert(options.rest.end(), args.begin() + static_cast<std::ptrdiff_t>(i),
                                args.end());
            break;
        }
        if (args[i] == "--baud") {
            if (i + 1 == args.size()) {
                UsageError(strCommand, "--baud needs a speed");
                return false;
            }
            const std::string& rate = args[++i];
            unsigned flag = 0;
            if (!rate.empty() && rate.size() <= 5 &&
                rate.find_first_not_of("0123456789") == std::string::npos)
                flag = BaudFlagFromRate(std::stoi(rate));
            if (flag == 0) {
                UsageError(strCommand, "the speed must be 1200, 2400, 4800, 9600 or 19200");
                return false;
            }
            options.nBaudFlag = flag;
        } else {
            options.rest.push_back(args[i]);
        }
    }
    return true;
}

bool OpenCliPort(CTapeSession& session, const CPortOptions& options) {
    const std::string path = PortDevicePathFromName(options.strPort);
    if (session.OpenPort(path, options.nBaudFlag))
        return true;
    std::string reason = session.GetOpenError().strReason;
    std::fprintf(stderr, "%s (%s%s%s)\n",
                 std::string(res::LoadString(res::IDS_PORT_UNUSABLE)).c_str(), path.c_str(),
                 reason.empty() ? "" : ": ", reason.c_str());
    return false;
}
