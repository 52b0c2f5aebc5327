// SPDX-License-Identifier: GPL-3.0-or-later
// The document: the tape as an ordered list of blocks, with the file side of
// a document (modified flag, path name, title, open, save). Files are read
// and written by the rows of a format table (TapeFormats.h).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "res/Strings.h"
#include "tape/Archive.h"
#include "tape/DamageMarks.h"
#include "tape/Errors.h"
#include "tape/File.h"
#include "tape/TapeBlock.h"
#include "tape/TapeFileName.h"
#include "tape/TapeFormats.h"
#include "tape/TapeHistory.h"

class CRelmuthDoc;

// What changed in the tape, as its views are told, after the change.
struct CDocUpdate {
    enum Kind {
        inserted, // block nIndex is new; those that were there from it on are one further
        removed,  // block nIndex went; those after it are one nearer
        moved,    // the block at nIndex went to nTo; those between moved by one towards nIndex
        replaced, // block nIndex holds other bytes
        reset,    // the whole tape may be another (New, and every open, failed or not): a
                  // view shows it afresh, keeping nothing of what it showed before
    };
    Kind kind;
    std::size_t nIndex = 0;
    std::size_t nTo = 0;
    friend bool operator==(const CDocUpdate&, const CDocUpdate&) = default;
};

// A view of the document; told when the tape changed.
class CDocumentView {
  public:
    virtual ~CDocumentView() = default;
    virtual void OnUpdate(CDocumentView* pSender, const CDocUpdate& update) = 0;
};

// What the document needs of the program around it: the file name prompt and
// a place to show a failed open or save.
class CDocumentHost {
  public:
    virtual ~CDocumentHost() = default;

    // Asks for a tape file name; true when the user confirmed one.
    virtual bool PromptForTapeFileName(std::string& strFileName, res::StringId nTitle,
                                       unsigned nFlags, bool bOpenFileDialog) = 0;
    // Shows why an open or save failed.
    virtual void ReportSaveLoadException(const CRelmuthException& error) = 0;
    // A file was opened or saved under this name.
    virtual void AddToRecentFileList(const std::string& /*strPathName*/) {}
};

// The characters at which a title stops being usable as a file name.
inline constexpr const char* kTitleCutCharacters = " #%;/\\";

class CRelmuthDoc {
  public:
    // The formats are those the document reads and writes; the table must
    // outlive the document.
    explicit CRelmuthDoc(CDocumentHost* pHost = nullptr,
                         const CTapeFormats& formats = TapeImageFormats());
    virtual ~CRelmuthDoc();
    CRelmuthDoc(const CRelmuthDoc&) = delete;
    CRelmuthDoc& operator=(const CRelmuthDoc&) = delete;

    // The tape, first block first. It changes only through the operations
    // below, which set the modified flag and tell the views.
    const std::vector<CTapeBlock>& m_blocks = m_tape;

    // The marks of the tape's damaged bytes, kept with it: from the
    // recording it was decoded from, or from the KXM image it was read from.
    const CDamageMarks& m_damageMarks = m_marks;

    // A note for every block (how clearly it was decoded, the recording it
    // came from), kept with its block through every edit as its marks are.
    const std::vector<CBlockNote>& m_blockNotes = m_notes;
    // The recording every block of the tape was read from (the tape was
    // just opened from it); no edit, and nothing a view shows.
    void SetBlockSource(const std::shared_ptr<const CBlockSource>& pSource);

    // Load or store the whole tape in the format of the archive's file name
    // (the table's row for its extension, in any letter case; KXM for any
    // other name and for an archive with no file). Loading replaces the
    // tape once the whole file is read, the reading keeping what the format
    // reports beside it.
    virtual void Serialize(CArchive& ar);
    void Serialize(CArchive& ar, CTapeReading& reading);
    virtual void DeleteContents();
    virtual bool OnNewDocument();
    // Save (a target name) or Save As (an empty one, which asks for a name).
    // Save As of a tape opened from a cassette recording proposes a KXM
    // image beside it: the recording is the user's original, not a place to
    // write the tape back to unasked.
    virtual bool DoSave(const std::string& strPathName);
    virtual void GetBlockInfo(const CTapeBlock& block, std::string& strBaud, std::string& strBytes,
                              std::string& strType, std::string& strName) const;
    virtual std::string GetBlockText(const CTapeBlock& block) const;

    // Opens a tape file. On failure the reason has been reported; the tape
    // is then as it was if the file could not be opened at all, and a new,
    // empty, untitled tape if the file could not be read. Every file is read
    // to its end, whatever size it reports. The views are told in either
    // case that the tape was replaced. A reading the user cancelled (through
    // the reading's progress) is no failure to report: false then, with the
    // tape, its name and its modified flag as they were and the views told
    // nothing. So it is, with its message, for a file that made no block
    // where its format needs one (a recording).
    bool OnOpenDocument(const std::string& strPathName, CTapeReading& reading);
    bool OnOpenDocument(const std::string& strPathName);
    // The same for a file already open (standard input, say); the format
    // follows the file's name.
    bool OnOpenDocument(CFile& file, CTapeReading& reading);
    bool OnOpenDocument(CFile& file);

    // An open in two steps, so that the tape is replaced only once the
    // new file has been read (and the user asked about the old tape in
    // between): the file is read whole into the reading, the tape left as
    // it is whatever happens, a failure reported (but not a reading the
    // user cancelled); then the reading becomes the tape, under the
    // file's name, not modified, the views told of a reset.
    enum class ReadResult { read, cancelled, failed };
    ReadResult ReadTapeFile(const std::string& strPathName, CTapeReading& reading);
    void TakeTapeFile(const std::string& strPathName, CTapeReading& reading);

    // The program around the document (the one given at construction
    // until another takes its place), where it reports what failed (none
    // for a document without one).
    CDocumentHost* GetHost() const { return m_pHost; }
    void SetHost(CDocumentHost* pHost) { m_pHost = pHost; }

    const CTapeFormats& GetFormats() const { return m_formats; }
    // Whether the file of this name is the user's original, not a place to
    // write the tape back to unasked (a recording).
    bool IsOriginalName(const std::string& strPathName) const;
    // Writes the tape to a file, replacing it only once fully written.
    bool OnSaveDocument(const std::string& strPathName);
    // Writes the tape to a file already open (standard output, say), as it
    // goes, and closes it.
    bool OnSaveDocument(CFile& file);

    // Modified while the undo history is away from the point where the tape
    // was last saved or opened (or a block arrived since), and after any
    // change outside the history until the next save.
    bool IsModified() const { return m_bModified || m_history.IsModified(); }
    // False: the tape as it is now counts as saved.
    void SetModifiedFlag(bool bModified = true);
    const std::string& GetPathName() const { return m_strPathName; }
    void SetPathName(const std::string& strPathName);
    const std::string& GetTitle() const { return m_strTitle; }
    void SetTitle(const std::string& strTitle) { m_strTitle = strTitle; }

    void AddView(CDocumentView* pView);
    void RemoveView(CDocumentView* pView);
    void UpdateAllViews(CDocumentView* pSender, const CDocUpdate& update);

    // The edits of the tape. Each sets the modified flag, keeps the damage
    // marks with their blocks and tells the views what changed. An index
    // the tape does not have is no edit: nothing changes. Insert, erase and
    // move go into the undo history; a block appended is one that arrived
    // (over the line), which no undo takes away.
    void AppendBlock(ByteArray data, int nBaud);
    void AppendBlock(CTapeBlock block);
    void InsertBlock(std::size_t nIndex, CTapeBlock block);
    void EraseBlock(std::size_t nIndex);
    void MoveBlock(std::size_t nFrom, std::size_t nTo);

    // Undo and redo of the edits above; emptied by New and every open. The
    // views are told each block that changed as by the edit itself.
    bool CanUndo() const { return m_history.CanUndo(); }
    bool CanRedo() const { return m_history.CanRedo(); }
    bool Undo();
    bool Redo();
    // The block's bytes change: its marks go, and so does the undo history.
    void ReplaceBlock(std::size_t nIndex, CTapeBlock block);
    // Another tape as a whole, with its marks (a reset).
    void ReplaceTape(std::vector<CTapeBlock> blocks, CDamageMarks marks = {},
                     std::vector<CBlockNote> notes = {});
    // The same as an edit of the history (another take merged in): undo
    // gives back the tape before it, marks, notes, modified flag and all.
    // The views are told every block removed, then every block inserted.
    void ReplaceTapeAsEdit(std::vector<CTapeBlock> blocks, CDamageMarks marks,
                           std::vector<CBlockNote> notes);
    // Byte nOffset of block nBlock becomes nValue (another reading of a
    // damaged byte) and is marked no more; an edit of the history, which
    // Undo takes back, marks and all.
    void ReplaceByte(std::size_t nBlock, std::size_t nOffset, std::uint8_t nValue);

  private:
    void ResetToNew();
    // Reads the file into the reading; a file that is no tape is reported
    // as "failed" with the tape reset when bResetOnBadFile, else kept.
    ReadResult Read(CFile& file, CTapeReading& reading, bool bResetOnBadFile);
    void FailLoad(const CRelmuthException& error);
    bool Store(const std::function<void()>& write);
    void WriteTo(CFile& file);
    void Report(const CRelmuthException& error);

    void TakeReading(CTapeReading& reading);
    void Changed(const CDocUpdate& update);
    // An edit of the history was applied: the views are told what differs
    // from the tape before it.
    void HistoryChanged(const CTapeHistory::CEditPlaces& places,
                        const std::vector<CTapeBlock>& before);
    CTapeContents Contents() { return {m_tape, m_marks, m_notes}; }
    // Tells the views that the tape went and another came, block by block.
    void TapeSwapped(std::size_t nBefore);

    std::vector<CTapeBlock> m_tape;
    CDamageMarks m_marks;
    std::vector<CBlockNote> m_notes;
    CTapeHistory m_history;
    CDocumentHost* m_pHost;
    const CTapeFormats& m_formats;
    std::vector<CDocumentView*> m_views;
    bool m_bModified = false;
    std::string m_strPathName;
    std::string m_strTitle;
};

// The name Save As proposes for a document that has no path yet.
std::string ProposedFileName(const std::string& strTitle);
// The path with its file name's extension (if any) replaced by ".kxm".
std::string KxmNameBeside(const std::string& strPathName);
