#pragma once
// Writes the full buffers of one output file on a thread of its own, so that
// the conversion fills the next buffer while the previous one goes to the
// file. One buffer is in flight at a time: a writer slower than the
// conversion makes the conversion wait, and memory stays at two buffers.
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace trevanix {

class BackgroundWriter {
public:
    // `target` names the file for the fault seam of the output file.
    BackgroundWriter(int fd, std::string target);
    ~BackgroundWriter();
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    // Takes the bytes of `full` for writing and leaves `full` empty (with
    // the capacity of a buffer written earlier). Waits while the previous
    // buffer is still being written. False when an earlier write failed.
    bool hand_over(std::string& full);
    // Waits until everything handed over is written. False when a write failed.
    bool drain();
    // The errno of the failed write, 0 when none failed.
    int error_code();

private:
    void run();

    int fd_;
    std::string target_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string pending_;  // the buffer being written
    bool busy_ = false;    // pending_ holds bytes not yet written
    bool closing_ = false;
    int error_ = 0;
    long long written_ = 0; // bytes written so far: where the next block starts
    std::thread thread_;
};

// Writes all of `size` bytes, going on after short writes and interruptions.
// Returns 0, or the errno of the failure.
int write_all(int fd, const char* data, std::size_t size, const std::string& target) noexcept;

} // namespace trevanix
