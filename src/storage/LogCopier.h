#pragma once

#include "storage/Database.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace nubo {

// Copies the log of a database in WAL mode into its file, on a connection and a thread of its own,
// whenever asked: a writer that has turned its own copying off then never waits for the disk. A
// copy waits for no reader or writer; what it cannot copy yet is left to the next one.
class LogCopier {
public:
    // Without a connection (the file cannot be opened again) every request is ignored.
    explicit LogCopier(const QString& path);
    ~LogCopier();
    LogCopier(const LogCopier&) = delete;
    LogCopier& operator=(const LogCopier&) = delete;

    // Copies what is committed by now; requests made during a copy make one more copy.
    void request();
    // Waits for a copy under way; later requests are ignored.
    void stop();

private:
    void run();
    std::unique_ptr<Database> m_db;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_requested = false;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace nubo
