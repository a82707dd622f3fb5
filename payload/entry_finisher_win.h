// EntryFinisher: finishes entries on a few worker threads while the
// extracting thread goes on to the next ones. An entry arrives either still
// to be written, with where its data lies in the archive's view (a worker
// writes it with its own EntryWriter, so several entries are inflated and
// written at once), or as a staging file that is complete but still open
// (ArchiveReader::WriteStaged, when the calling thread wrote it). A worker
// then sets its times and final attributes and closes it; a file written
// under its own name is then in place, one that is to replace a file is
// moved over it after the close (ArchiveReader::CloseStaged, MoveStaged). Closing is where a file system (or a virus scanner hooked into
// it) spends most of its time per file, and none of it needs the archive.
//
// Entries are handed out again, finished, in the order they came in, so the
// caller reports them in archive order. Moves over existing files keep that
// order too and wait for the caller: such an entry is moved over its target
// only after the caller has taken the entry before it and called
// AllowNextMove, so that a stop never replaces a file behind the stopped
// entry. An entry not taken yet can still be cancelled: when the caller stops
// after a failure or a stop request, the entries behind it leave no staging
// file, and those already written under new names are removed again.
//
// Windows only. One extracting thread uses a finisher; the workers are its own.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "frame/handles_win.h"
#include "payload/archive_reader_win.h"
#include "payload/entry_writer_win.h"

class EntryFinisher {
 public:
  // workers: number of threads, started with the first entry. With 0 the
  // calling thread finishes each entry itself, in Submit and TakeFinished,
  // in the same order: for archives too small to repay starting threads.
  explicit EntryFinisher(unsigned workers);
  // Cancels what is not finished and waits for the workers.
  ~EntryFinisher();
  EntryFinisher(const EntryFinisher&) = delete;
  EntryFinisher& operator=(const EntryFinisher&) = delete;

  // A worker count for this machine: one per processor, at least 2 (a
  // worker also waits on the file system) and at most 8. More workers than
  // processors only queue up for the same system calls.
  static unsigned WorkersForThisMachine();

  // Entries handed over and not yet taken back. Hand over at most
  // kMaxInFlight: each holds an open file.
  static constexpr size_t kMaxInFlight = 16;
  size_t InFlight() const { return inFlight_.size(); }

  // Hands over an entry (index: the caller's number for it, returned by
  // TakeFinished). When no worker can be started the calling thread
  // finishes the entries itself.
  void Submit(int32_t index, StagedEntry staged);

  // True when workers finish the entries (they are started here if need
  // be); false when the calling thread does.
  bool Threaded();

  // Hands over an entry still to be written (ArchiveReader::PrepareStaged):
  // a worker writes it from the archive's view (EntryWriter) and finishes
  // it. Only with workers. A write that fails is the entry's failure, with
  // the code EntryWriter gives.
  void SubmitWrite(int32_t index, StagedEntry staged, const EntryData& data);

  // Hands over an entry already done (a folder entry), to be taken in its
  // turn. created: the folders made for it, removed again (newest first)
  // when it is cancelled.
  void SubmitMade(int32_t index, std::vector<std::wstring> created);

  // The oldest entry handed over, once finished: *index is its number,
  // *code kReaderOk when it is in place, kReaderOpenFailed
  // when the move failed even after clearing the target's attributes (target
  // unchanged), kReaderDataError when the close failed; in neither failure
  // is a staging file left. With wait, blocks until the oldest entry is
  // finished. False when nothing is in flight, or (without wait) when the
  // oldest entry is not finished yet.
  bool TakeFinished(bool wait, int32_t* index, uint32_t* code);

  // Lets the entry after the last one taken be moved over its target.
  void AllowNextMove();

  // True when an entry in flight has `path` as its target or as a folder
  // above it (compared as the file system does, ignoring case): writing to
  // path must wait until that entry is finished.
  bool Pending(const std::wstring& path) const;

  // Entries not taken yet are undone: those not moved are closed and their
  // staging files deleted, those placed under new names deleted, and their
  // folders removed; waits until no worker touches any entry, then forgets
  // them all.
  void Cancel();

 private:
  enum class State { kQueued, kClosed, kDone };
  struct Job {
    uint64_t sequence;
    int32_t index;
    StagedEntry staged;
    State state = State::kQueued;
    bool busy = false;
    uint32_t code = kReaderOk;
    std::vector<std::wstring> createdFolders;  // of a folder entry
    bool write = false;  // still to be written from data
    EntryData data;
  };

  static DWORD WINAPI WorkerMain(void* self);
  void Work();
  Job* NextWork(bool* move);
  // One step of a job (write and close, close, move, or discard), without
  // the lock; writer: the worker's own, for jobs still to be written.
  static void Step(Job* job, bool move, bool discard, EntryWriter* writer, State* next, uint32_t* code);
  void StepInline(Job* job);
  bool StartWorkers();
  void StopWorkers();

  mutable SRWLOCK lock_ = SRWLOCK_INIT;
  CONDITION_VARIABLE workReady_ = CONDITION_VARIABLE_INIT;  // a job to do, or quitting
  CONDITION_VARIABLE jobDone_ = CONDITION_VARIABLE_INIT;    // a worker finished a step
  std::deque<std::unique_ptr<Job>> inFlight_;  // in hand-over order
  uint64_t nextSequence_ = 0;
  uint64_t moveLimit_ = 1;  // jobs with a lower sequence may be moved
  bool cancel_ = false;
  bool quit_ = false;
  unsigned workerCount_;
  std::vector<OwnedKernelHandle> workers_;
  bool inline_;  // no workers: the calling thread does every step
};
