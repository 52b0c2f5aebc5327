// SPDX-License-Identifier: GPL-3.0-or-later
// The receiver: four states that turn the lines of one transfer into a block.
//
//   Header    "CAS1" / "CAS2" (any case)       -> Byte count
//   Byte count  hex field N                    -> Data
//   Data      pairs of hex digits until N bytes -> Checksum
//   Checksum  hex field equal to the sum mod 256 -> block stored
//
// "ABORT" after the header ends a transfer silently; every error shows its
// message. Every way out leads back to the Header state. The data of the
// transfer under way lives in the owner, not in the states.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "res/Strings.h"
#include "tape/TapeBlock.h"

class CTransferReceiver;

// What the states need of their owner: the receive context and the
// notifications that drive the progress display and store the block.
class CRecvOwner {
  public:
    virtual ~CRecvOwner() = default;

    // Replaces the current state. The state that calls it may be the one
    // replaced and must touch none of its members afterwards.
    virtual void SetReceiver(std::unique_ptr<CTransferReceiver> pReceiver) = 0;
    virtual int GetRecvBaud() const = 0;
    virtual void SetRecvBaud(int nBaud) = 0;
    virtual int GetRecvSize() const = 0;
    virtual void SetRecvSize(int nSize) = 0;
    // Empties the data (room for nReserve bytes) and zeroes the checksum.
    // Throws std::bad_alloc when not even a little room can be had.
    virtual void ResetRecvData(int nReserve) = 0;
    virtual ByteArray& GetRecvData() = 0;
    virtual int GetRecvChecksum() const = 0;
    virtual void AddRecvChecksum(int nValue) = 0;
    virtual void OnRecvBegin() = 0;
    virtual void OnRecvEnd() = 0;
    virtual void OnRecvProgress() = 0;
    virtual void OnRecvComplete() = 0;
    // A message box with an OK button.
    virtual void ShowRecvMessage(res::StringId nMessage) = 0;
};

class CTransferReceiver {
  public:
    explicit CTransferReceiver(CRecvOwner* pOwner) : m_pOwner(pOwner) {}
    virtual ~CTransferReceiver() = default;
    CTransferReceiver(const CTransferReceiver&) = delete;
    CTransferReceiver& operator=(const CTransferReceiver&) = delete;

    // Handles one complete line, without its line end.
    virtual void OnLine(const std::string& line) = 0;

    // Whether no transfer is under way: true only in the Header state.
    virtual bool IsWaitingForHeader() const { return false; }

  protected:
    CRecvOwner* m_pOwner;
};

class CRecvHeaderState : public CTransferReceiver {
  public:
    using CTransferReceiver::CTransferReceiver;
    void OnLine(const std::string& line) override;
    bool IsWaitingForHeader() const override { return true; }
};

class CRecvLengthState : public CTransferReceiver {
  public:
    using CTransferReceiver::CTransferReceiver;
    void OnLine(const std::string& line) override;
};

class CRecvDataState : public CTransferReceiver {
  public:
    using CTransferReceiver::CTransferReceiver;
    void OnLine(const std::string& line) override;
};

class CRecvChecksumState : public CTransferReceiver {
  public:
    using CTransferReceiver::CTransferReceiver;
    void OnLine(const std::string& line) override;
};
