// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/relmuth-tape/RecordingOptions.h"

#include <unistd.h>

#include <cstdio>

#include "tape/File.h"
#include "tape/KxmFormat.h"
#include "tape/T88Format.h"
#include "tools/relmuth-tape/CliHost.h"

bool TakeRecordingOptions(Args& args, CRecordingOptions& options, std::string& strError) {
    for (std::size_t i = 0; i < OptionsEnd(args);) {
        const std::string& name = args[i];
        if (name != "--baud" && name != "--channel") {
            ++i;
            continue;
        }
        const std::string value = i + 1 < args.size() ? args[i + 1] : std::string();
        if (name == "--baud") {
            if (value != "600" && value != "1200") {
                strError = "--baud takes 600 or 1200";
                return false;
            }
            options.nBaud = value == "600" ? kBaudSlow : kBaudFast;
        } else {
            if (value == "left")
                options.channel = RecordingChannel::left;
            else if (value == "right")
                options.channel = RecordingChannel::right;
            else if (value == "mix")
                options.channel = RecordingChannel::mix;
            else {
                strError = "--channel takes left, right or mix";
                return false;
            }
        }
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                   args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    }
    DropEndOfOptions(args);
    return true;
}

CTerminalProgress::CTerminalProgress() : m_bShow(::isatty(STDERR_FILENO) == 1) {}

CTerminalProgress::~CTerminalProgress() {
    if (m_bShow && m_nPercent >= 0)
        std::fputc('\n', stderr);
}

bool CTerminalProgress::OnDecodeProgress(double dFraction) {
    const int nPercent = static_cast<int>(dFraction * 100.0);
    if (m_bShow && nPercent != m_nPercent) {
        m_nPercent = nPercent;
        std::string text(res::LoadString(res::IDS_RECORDING_PROGRESS));
        const auto at = text.find("%1");
        if (at != std::string::npos)
            text.replace(at, 2, std::to_string(nPercent));
        std::fprintf(stderr, "\r%s", text.c_str());
        std::fflush(stderr);
    }
    return true;
}

int ReportRecordingDamage(const CRecordingReading& reading) {
    if (reading.m_damage.empty())
        return kExitOk;
    PrintError(std::string(res::LoadString(res::IDS_RECORDING_DAMAGED)));
    for (const CDamagedByte& damage : reading.m_damage)
        PrintError(DescribeDamage(damage));
    return kExitIncomplete;
}

ImageToRecording ConvertImageToRecording(const std::string& strIn, const std::string& strOut,
                                         ByteArray& image) {
    const CTapeImageMagic& magic = IsT88Name(strIn) ? kT88Magic : kKxmMagic;
    try {
        {
            // IN is opened once (it may be a pipe or a FIFO) and held in
            // memory, which an image's size allows: the time line is walked
            // twice, to count the recording's length and to write it.
            CFile file = CFile::OpenForReading(strIn);
            CFileArchive in(file, CArchive::load);
            image = in.ReadAll();
        }
        {
            // A bad image fails before OUT is touched.
            CMemoryArchive in{std::span<const std::uint8_t>(image)};
            std::vector<CTapeBlock> check;
            CDamageMarks marks;
            try {
                ReadTapeImage(in, magic, check, magic == kKxmMagic ? &marks : nullptr);
            } catch (const CArchiveException&) {
                return ImageToRecording::notAnImage;
            }
            ReportSaveLosses(check, marks, TapeFormat::recording);
        }
        CSafeFileWriter writer(strOut);
        CFileArchive out(writer.GetFile(), CArchive::store);
        WriteRecording(
            [&](CTapeRecordSink& sink) {
                CMemoryArchive in{std::span<const std::uint8_t>(image)};
                ReadTapeImageRecords(in, magic, sink);
            },
            out);
        out.Flush();
        writer.Commit();
    } catch (const CRelmuthException& e) {
        CCliDocumentHost().ReportSaveLoadException(e);
        return ImageToRecording::failed;
    }
    return ImageToRecording::done;
}
