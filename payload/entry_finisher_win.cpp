#include "payload/entry_finisher_win.h"

#include <utility>

namespace {

// Case-blind comparison of the first `length` characters, as NTFS and FAT
// compare names.
bool SameName(const wchar_t* a, const wchar_t* b, size_t length) {
  return CompareStringOrdinal(a, static_cast<int>(length), b, static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

}  // namespace

EntryFinisher::EntryFinisher(unsigned workers) : workerCount_(workers), inline_(workers == 0) {}

EntryFinisher::~EntryFinisher() {
  Cancel();
  StopWorkers();
}

unsigned EntryFinisher::WorkersForThisMachine() {
  SYSTEM_INFO system = {};
  GetSystemInfo(&system);
  unsigned n = system.dwNumberOfProcessors;
  if (n < 2) n = 2;
  if (n > 8) n = 8;
  return n;
}

bool EntryFinisher::StartWorkers() {
  if (inline_ || !workers_.empty()) return !inline_;
  for (unsigned i = 0; i < workerCount_; ++i) {
    // A small stack: a worker holds no more than a few paths.
    HANDLE thread = CreateThread(nullptr, 64 * 1024, WorkerMain, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!thread) break;
    workers_.emplace_back(thread);
  }
  if (workers_.empty()) inline_ = true;
  return !inline_;
}

void EntryFinisher::StopWorkers() {
  if (workers_.empty()) return;
  AcquireSRWLockExclusive(&lock_);
  quit_ = true;
  ReleaseSRWLockExclusive(&lock_);
  WakeAllConditionVariable(&workReady_);
  std::vector<HANDLE> handles;
  for (const OwnedKernelHandle& worker : workers_) handles.push_back(worker.get());
  WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), TRUE, INFINITE);
  workers_.clear();
}

void EntryFinisher::Submit(int32_t index, StagedEntry staged) {
  StartWorkers();
  auto job = std::make_unique<Job>();
  job->index = index;
  job->staged = std::move(staged);
  Job* added = job.get();
  AcquireSRWLockExclusive(&lock_);
  job->sequence = nextSequence_++;
  inFlight_.push_back(std::move(job));
  ReleaseSRWLockExclusive(&lock_);
  if (inline_) {
    StepInline(added);
  } else {
    WakeConditionVariable(&workReady_);
  }
}

bool EntryFinisher::Threaded() { return StartWorkers(); }

void EntryFinisher::SubmitWrite(int32_t index, StagedEntry staged, const EntryData& data) {
  auto job = std::make_unique<Job>();
  job->index = index;
  job->staged = std::move(staged);
  job->write = true;
  job->data = data;
  AcquireSRWLockExclusive(&lock_);
  job->sequence = nextSequence_++;
  inFlight_.push_back(std::move(job));
  ReleaseSRWLockExclusive(&lock_);
  WakeConditionVariable(&workReady_);
}

void EntryFinisher::SubmitMade(int32_t index, std::vector<std::wstring> created) {
  auto job = std::make_unique<Job>();
  job->index = index;
  job->state = State::kDone;
  job->createdFolders = std::move(created);
  AcquireSRWLockExclusive(&lock_);
  job->sequence = nextSequence_++;
  inFlight_.push_back(std::move(job));
  ReleaseSRWLockExclusive(&lock_);
}

// Without workers: the job's next step, if it is due, on the calling thread.
void EntryFinisher::StepInline(Job* job) {
  bool move = false;
  if (job->state == State::kDone) return;
  if (job->state == State::kClosed) {
    if (job->sequence >= moveLimit_ && !cancel_) return;
    move = true;
  }
  State next;
  uint32_t code;
  Step(job, move, cancel_, nullptr, &next, &code);
  job->state = next;
  job->code = code;
}

bool EntryFinisher::TakeFinished(bool wait, int32_t* index, uint32_t* code) {
  AcquireSRWLockExclusive(&lock_);
  for (;;) {
    if (inFlight_.empty()) {
      ReleaseSRWLockExclusive(&lock_);
      return false;
    }
    Job& oldest = *inFlight_.front();
    if (inline_) StepInline(&oldest);
    if (oldest.state == State::kDone && !oldest.busy) break;
    // Without workers nothing else would finish it.
    if (!wait || inline_) {
      ReleaseSRWLockExclusive(&lock_);
      return false;
    }
    SleepConditionVariableSRW(&jobDone_, &lock_, INFINITE, 0);
  }
  std::unique_ptr<Job> job = std::move(inFlight_.front());
  inFlight_.pop_front();
  ReleaseSRWLockExclusive(&lock_);
  *index = job->index;
  *code = job->code;
  return true;
}

void EntryFinisher::AllowNextMove() {
  AcquireSRWLockExclusive(&lock_);
  uint64_t next = inFlight_.empty() ? nextSequence_ : inFlight_.front()->sequence;
  if (moveLimit_ < next + 1) moveLimit_ = next + 1;
  ReleaseSRWLockExclusive(&lock_);
  WakeAllConditionVariable(&workReady_);
}

bool EntryFinisher::Pending(const std::wstring& path) const {
  AcquireSRWLockShared(&lock_);
  bool pending = false;
  for (const std::unique_ptr<Job>& job : inFlight_) {
    const std::wstring& target = job->staged.target;
    if (target.empty() || target.size() > path.size()) continue;
    if (target.size() < path.size() && path[target.size()] != L'\\') continue;
    if (SameName(target.c_str(), path.c_str(), target.size())) {
      pending = true;
      break;
    }
  }
  ReleaseSRWLockShared(&lock_);
  return pending;
}

void EntryFinisher::Cancel() {
  AcquireSRWLockExclusive(&lock_);
  cancel_ = true;
  WakeAllConditionVariable(&workReady_);
  // Jobs the workers never reached, or that wait for their move, are
  // discarded by the workers; wait until every job is done.
  for (;;) {
    bool busy = false;
    for (const std::unique_ptr<Job>& job : inFlight_) {
      if (job->state != State::kDone || job->busy) busy = true;
    }
    if (!busy || workers_.empty()) break;
    SleepConditionVariableSRW(&jobDone_, &lock_, INFINITE, 0);
  }
  // Without workers the calling thread discards; files placed under a new
  // name ahead of their report are removed again.
  for (const std::unique_ptr<Job>& job : inFlight_) {
    if (job->state != State::kDone || job->staged.placed) ArchiveReader::DiscardStaged(&job->staged);
  }
  // No file behind a failed or stopped entry was moved into place: the
  // folders made for later entries are empty again.
  for (auto job = inFlight_.rbegin(); job != inFlight_.rend(); ++job) {
    const std::vector<std::wstring>& folders = (*job)->createdFolders;
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) RemoveDirectoryW(folder->c_str());
  }
  inFlight_.clear();
  cancel_ = false;
  ReleaseSRWLockExclusive(&lock_);
}

DWORD WINAPI EntryFinisher::WorkerMain(void* self) {
  static_cast<EntryFinisher*>(self)->Work();
  return 0;
}

// The next step for a worker, with the lock held: a move that is due (moves
// first, they hold up the caller's reports), else the oldest queued close.
// With cancel, any job not done is discarded instead (*move false).
EntryFinisher::Job* EntryFinisher::NextWork(bool* move) {
  Job* close = nullptr;
  for (const std::unique_ptr<Job>& job : inFlight_) {
    if (job->busy || job->state == State::kDone) continue;
    if (cancel_) {
      *move = false;
      return job.get();
    }
    if (job->state == State::kClosed && job->sequence < moveLimit_) {
      *move = true;
      return job.get();
    }
    if (job->state == State::kQueued && !close) close = job.get();
  }
  *move = false;
  return close;
}

void EntryFinisher::Work() {
  EntryWriter writer;
  AcquireSRWLockExclusive(&lock_);
  for (;;) {
    bool move = false;
    Job* job = NextWork(&move);
    if (!job) {
      if (quit_) break;
      SleepConditionVariableSRW(&workReady_, &lock_, INFINITE, 0);
      continue;
    }
    job->busy = true;
    const bool discard = cancel_;
    ReleaseSRWLockExclusive(&lock_);

    State next;
    uint32_t code;
    Step(job, move, discard, &writer, &next, &code);

    AcquireSRWLockExclusive(&lock_);
    job->busy = false;
    job->state = next;
    job->code = code;
    WakeAllConditionVariable(&jobDone_);
    // A closed job may be movable at once by any worker.
    if (next == State::kClosed) WakeConditionVariable(&workReady_);
  }
  ReleaseSRWLockExclusive(&lock_);
}

void EntryFinisher::Step(Job* job, bool move, bool discard, EntryWriter* writer, State* next, uint32_t* code) {
  *next = State::kDone;
  *code = kReaderOk;
  StagedEntry& staged = job->staged;
  if (discard) {
    ArchiveReader::DiscardStaged(&staged);
    *code = kReaderOpenFailed;
  } else if (!move) {
    if (job->write) {
      job->write = false;
      *code = writer ? writer->Write(job->data, &staged) : kReaderDataError;
      if (*code != kReaderOk) return;
    }
    // A file written in place is done at its close: a stop or failure before
    // its report removes it again (Cancel).
    *code = ArchiveReader::CloseStaged(&staged);
    if (*code == kReaderOk) *next = staged.placed ? State::kDone : State::kClosed;
  } else {
    // A read-only file from an earlier run refuses to be replaced: it is
    // made writable and the move tried once more.
    if (!ArchiveReader::MoveStaged(staged)) {
      SetFileAttributesW(staged.target.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (!ArchiveReader::MoveStaged(staged)) {
        ArchiveReader::DiscardStaged(&staged);
        *code = kReaderOpenFailed;
      }
    }
  }
}
