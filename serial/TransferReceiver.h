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
//
// A state never replaces itself: its OnLine says which state takes the next
// line, and which message (if any) to show then; the owner switches and
// shows it. The states hold nothing but their owner, so the owner keeps one
// of each for as long as it lives.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "res/Strings.h"
#include "tape/TapeBlock.h"

enum class RecvState { header, length, data, checksum };

// What a state's OnLine decided.
struct CRecvNext {
    RecvState state;                      // takes the next line
    std::optional<res::StringId> message; // shown once the state is switched
    friend bool operator==(const CRecvNext&, const CRecvNext&) = default;
};

// What the states need of their owner: the receive context and the
// notifications that drive the progress display and store the block.
class CRecvOwner {
  public:
    virtual ~CRecvOwner() = default;

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
    // A message box with an OK button; may run a nested event loop.
    virtual void ShowRecvMessage(res::StringId nMessage) = 0;
};

class CTransferReceiver {
  public:
    explicit CTransferReceiver(CRecvOwner* pOwner) : m_pOwner(pOwner) {}
    virtual ~CTransferReceiver() = default;
    CTransferReceiver(const CTransferReceiver&) = delete;
    CTransferReceiver& operator=(const CTransferReceiver&) = delete;

    // Handles one complete line, without its line end.
    virtual CRecvNext OnLine(const std::string& line) = 0;

    // Whether no transfer is under way: true only in the Header state.
    virtual bool IsWaitingForHeader() const { return false; }

  protected:
    CRecvOwner* m_pOwner;
};

class CRecvHeaderState : public CTransferReceiver {
  public:
    using CTransferReceiver::CTransferReceiver;
    CRecvNext OnLine(const std::string& line) override;
    bool IsWaitingForHeader() const override { return true; }
};

class CRecvLengthState : public CTransferReceiver {
  public:
    using CTransferReceiver::CTransferReceiver;
    CRecvNext OnLine(const std::string& line) override;
};

class CRecvDataState : public CTransferReceiver {
  public:
    using CTransferReceiver::CTransferReceiver;
    CRecvNext OnLine(const std::string& line) override;
};

class CRecvChecksumState : public CTransferReceiver {
  public:
    using CTransferReceiver::CTransferReceiver;
    CRecvNext OnLine(const std::string& line) override;
};

// One state of each kind, for an owner to switch among.
class CRecvStates {
  public:
    explicit CRecvStates(CRecvOwner* pOwner)
        : m_header(pOwner), m_length(pOwner), m_data(pOwner), m_checksum(pOwner) {}

    CTransferReceiver& Get(RecvState state);

  private:
    CRecvHeaderState m_header;
    CRecvLengthState m_length;
    CRecvDataState m_data;
    CRecvChecksumState m_checksum;
};
