#include "link/ClientReader.h"

#include "link/ConsoleMessage.h"
#include "link/TcpLink.h"

#include "platform/Socket.h"

void HandoffSignal::complete()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        completed = true;
    }
    cv.notify_all();
}

void HandoffSignal::abandon()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        abandoned = true;
    }
    cv.notify_all();
}

HandoffMailbox::HandoffMailbox() : wakeFd_(wake::create()) {}

HandoffMailbox::~HandoffMailbox()
{
    close();
    wake::destroy(wakeFd_);
}

bool HandoffMailbox::post(HandoffItem item)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_)
        return false;
    items_.push_back(std::move(item));
    // Under the lock, so the descriptor cannot be closed in between.
    wake::set(wakeFd_);
    return true;
}

void HandoffMailbox::wakeIfWaiting()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (open_ && !items_.empty())
        wake::set(wakeFd_);
}

void HandoffMailbox::clearWake()
{
    wake::clear(wakeFd_);
}

bool HandoffMailbox::take(HandoffItem &item)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (items_.empty())
        return false;
    item = std::move(items_.front());
    items_.pop_front();
    return true;
}

void HandoffMailbox::close()
{
    std::deque<HandoffItem> discarded;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = false;
        discarded.swap(items_);
    }
    for (HandoffItem &item : discarded)
        if (item.signal)
            item.signal->complete();
}

QByteArray HandoffText(const QByteArray &received)
{
    const qsizetype nul = received.indexOf('\0');
    QByteArray text = nul < 0 ? received : received.left(nul);
    text += ctl::EOT;
    return text;
}

TClientReader::TClientReader(std::shared_ptr<TcpLink> link, std::shared_ptr<HandoffMailbox> mailbox)
    : link_(std::move(link)), mailbox_(std::move(mailbox)), signal_(std::make_shared<HandoffSignal>())
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
    signal_->abandon();
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
        const TcpLink::ReadResult r = link_->readMessage(text);
        if (r != TcpLink::ReadResult::Message) {
            // A read error, the server's close, an over-long message: close the connection
            // unless the station already did, and let the main thread know.
            if (link_->close()) {
                HandoffItem closed;
                closed.link = link_;
                closed.linkClosed = true;
                mailbox_->post(std::move(closed));
            }
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
    {
        std::lock_guard<std::mutex> lock(signal_->mutex);
        if (signal_->abandoned)
            return false;
        signal_->completed = false;
    }
    HandoffItem item;
    item.link = link_;
    item.texts = std::move(texts);
    item.signal = signal_;
    if (!mailbox_->post(std::move(item)))
        return false;  // the station is going away
    waiting_.store(true, std::memory_order_release);
    std::unique_lock<std::mutex> lock(signal_->mutex);
    signal_->cv.wait(lock, [this] { return signal_->completed || signal_->abandoned; });
    waiting_.store(false, std::memory_order_release);
    return !signal_->abandoned;
}
