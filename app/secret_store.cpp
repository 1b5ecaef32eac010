#include "app/secret_store.h"

#include <qt6keychain/keychain.h>

#include <QEventLoop>
#include <QTimer>

namespace secrets {
namespace {

constexpr const char* kService = "mevrant";

// Runs a job to its end, or gives up after kWaitMs (a store that does not answer is no store).
bool Run(QKeychain::Job& job) {
    job.setAutoDelete(false);
    job.setInsecureFallback(false); // never a plain-text file in its stead
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(kWaitMs, &loop, &QEventLoop::quit);
    job.start();
    if (!finished) loop.exec();
    return finished;
}

bool Answered(const QKeychain::Job& job) {
    return job.error() == QKeychain::NoError || job.error() == QKeychain::EntryNotFound;
}

} // namespace

Found Read(const std::string& key) {
    QKeychain::ReadPasswordJob job(kService);
    job.setKey(QString::fromStdString(key));
    if (!Run(job)) return {};
    Found found;
    found.StoreRuns = Answered(job);
    if (job.error() == QKeychain::NoError) found.Secret = job.textData().toStdString();
    return found;
}

bool Write(const std::string& key, const std::string& secret) {
    QKeychain::WritePasswordJob job(kService);
    job.setKey(QString::fromStdString(key));
    job.setTextData(QString::fromStdString(secret));
    return Run(job) && job.error() == QKeychain::NoError;
}

} // namespace secrets
