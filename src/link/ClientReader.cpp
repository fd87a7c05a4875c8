#include "link/ClientReader.h"

#include "link/ConsoleMessage.h"
#include "link/TcpLink.h"

#include <QCoreApplication>
#include <QObject>

HandoffEvent::HandoffEvent(std::shared_ptr<TcpLink> link_, std::vector<QByteArray> texts_,
                           std::shared_ptr<HandoffSignal> signal)
    : QEvent(kType), link(std::move(link_)), texts(std::move(texts_)), signal_(std::move(signal))
{
}

HandoffEvent::~HandoffEvent()
{
    {
        std::lock_guard<std::mutex> lock(signal_->mutex);
        signal_->completed = true;
    }
    signal_->cv.notify_all();
}

QByteArray HandoffText(const QByteArray &received)
{
    const qsizetype nul = received.indexOf('\0');
    QByteArray text = nul < 0 ? received : received.left(nul);
    text += ctl::EOT;
    return text;
}

TClientReader::TClientReader(std::shared_ptr<TcpLink> link, std::shared_ptr<HandoffGate> gate)
    : link_(std::move(link)), gate_(std::move(gate)), signal_(std::make_shared<HandoffSignal>())
{
}

TClientReader::~TClientReader()
{
    stop();
    if (thread_.joinable())
        thread_.join();
}

void TClientReader::start()
{
    if (!thread_.joinable())
        thread_ = std::thread([this] { run(); });
}

void TClientReader::stop()
{
    {
        std::lock_guard<std::mutex> lock(signal_->mutex);
        signal_->abandoned = true;
    }
    signal_->cv.notify_all();
}

bool TClientReader::abandoned()
{
    std::lock_guard<std::mutex> lock(signal_->mutex);
    return signal_->abandoned;
}

void TClientReader::run()
{
    QByteArray text;
    while (!abandoned() && link_->connected()) {
        TcpLink::ReadResult r = link_->readMessage(text);
        if (r != TcpLink::ReadResult::Message) {
            // A read error, the server's close, an over-long message: close the connection
            // unless the station already did, and let the main thread know.
            if (link_->close())
                postClosed();
            break;
        }
        std::vector<QByteArray> batch;
        batch.push_back(HandoffText(text));
        while (int(batch.size()) < kMaxBatch && link_->takeBufferedMessage(text) == TcpLink::ReadResult::Message)
            batch.push_back(HandoffText(text));
        if (!handOff(std::move(batch)))
            break;
    }
    finished_.store(true, std::memory_order_release);
}

bool TClientReader::handOff(std::vector<QByteArray> texts)
{
    const auto count = texts.size();
    {
        std::lock_guard<std::mutex> lock(signal_->mutex);
        if (signal_->abandoned)
            return false;
        signal_->completed = false;
    }
    auto *event = new HandoffEvent(link_, std::move(texts), signal_);
    {
        std::lock_guard<std::mutex> lock(gate_->mutex);
        if (gate_->target) {
            QCoreApplication::postEvent(gate_->target, event);
            event = nullptr;
        }
    }
    if (event) {
        delete event;  // no one to hand to: the station is going away
        return false;
    }
    waiting_.store(true, std::memory_order_release);
    std::unique_lock<std::mutex> lock(signal_->mutex);
    signal_->cv.wait(lock, [this] { return signal_->completed || signal_->abandoned; });
    waiting_.store(false, std::memory_order_release);
    handedOver_.fetch_add(count, std::memory_order_relaxed);
    return !signal_->abandoned;
}

void TClientReader::postClosed()
{
    std::lock_guard<std::mutex> lock(gate_->mutex);
    if (gate_->target)
        QCoreApplication::postEvent(gate_->target, new LinkClosedEvent(link_));
}
