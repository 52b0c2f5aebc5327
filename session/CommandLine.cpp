// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/CommandLine.h"

#include <charconv>
#include <string_view>
#include <vector>

#include "serial/CommSettings.h"

namespace {

// "--name" or "--name=value" of the option `name`: true, with the value
// after "=" when there is one.
bool IsOption(std::string_view arg, std::string_view name, std::optional<std::string>& value) {
    if (!arg.starts_with("--") || arg.substr(2, name.size()) != name)
        return false;
    const std::string_view rest = arg.substr(2 + name.size());
    if (rest.empty()) {
        value.reset();
        return true;
    }
    if (rest.front() != '=')
        return false;
    value = std::string(rest.substr(1));
    return true;
}

} // namespace

CCommandLineAction ParseCommandLine(std::span<const std::string> args, CCommandLineInfo& info,
                                    std::string& strError) {
    std::optional<std::string> port;
    std::optional<std::string> baud;
    std::vector<std::string> files;
    bool bNamesOnly = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (bNamesOnly || arg == "-" || !arg.starts_with("-")) {
            files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            bNamesOnly = true;
            continue;
        }
        if (arg == "-h" || arg == "--help")
            return CCommandLineAction::help;
        if (arg == "--version")
            return CCommandLineAction::version;
        std::optional<std::string> value;
        const bool bPort = IsOption(arg, "port", value);
        if (!bPort && !IsOption(arg, "baud", value)) {
            strError = "Unknown option '" + arg + "'.";
            return CCommandLineAction::usageError;
        }
        if (!value) {
            if (i + 1 == args.size()) {
                strError = "Missing value after '" + arg + "'.";
                return CCommandLineAction::usageError;
            }
            value = args[++i];
        }
        (bPort ? port : baud) = std::move(value);
    }

    if (files.size() > 1) {
        strError = "only one tape file can be opened";
        return CCommandLineAction::usageError;
    }
    info = {};
    if (!files.empty())
        info.strFileName = files.front();

    unsigned nBaudFlag = BaudFlagFromRate(9600);
    if (baud) {
        int nRate = 0;
        const char* const end = baud->data() + baud->size();
        const auto [ptr, ec] = std::from_chars(baud->data(), end, nRate);
        nBaudFlag = ec == std::errc() && ptr == end ? BaudFlagFromRate(nRate) : 0;
        if (nBaudFlag == 0) {
            strError = "the speed must be 1200, 2400, 4800, 9600 or 19200";
            return CCommandLineAction::usageError;
        }
        if (!port) {
            strError = "--baud is the speed for --port";
            return CCommandLineAction::usageError;
        }
    }
    if (port) {
        if (port->empty()) {
            strError = "--port needs a port name";
            return CCommandLineAction::usageError;
        }
        info.port = CStartPort{*port, nBaudFlag};
    }
    return CCommandLineAction::run;
}
