#include "link/EotFramer.h"

#include "link/ConsoleMessage.h"

#include <cstring>

EotFramer::EotFramer(qsizetype maxMessageBytes) : max_(maxMessageBytes) {}

void EotFramer::resetIfEmpty()
{
    if (readPos_ == buffer_.size()) {
        buffer_.resize(0);
        readPos_ = 0;
    }
}

void EotFramer::compact()
{
    resetIfEmpty();
    if (readPos_ > 0 && readPos_ >= buffer_.size() / 2) {
        buffer_.remove(0, readPos_);
        readPos_ = 0;
    }
}

void EotFramer::append(const char *data, qsizetype size)
{
    compact();
    buffer_.append(data, size);
}

char *EotFramer::reserve(qsizetype size)
{
    compact();
    reserved_ = buffer_.size();
    buffer_.resize(reserved_ + size);
    return buffer_.data() + reserved_;
}

void EotFramer::commit(qsizetype got)
{
    buffer_.resize(reserved_ + (got > 0 ? got : 0));
}

EotFramer::Result EotFramer::next(QByteArray &text)
{
    const qsizetype avail = buffer_.size() - readPos_;
    const char *base = buffer_.constData() + readPos_;
    const void *hit = avail > scanned_ ? std::memchr(base + scanned_, ctl::EOT, size_t(avail - scanned_)) : nullptr;
    if (dropping_) {
        if (!hit) {
            dropped_ += avail;
            clear();
            return Result::NeedMore;
        }
        const qsizetype through = static_cast<const char *>(hit) - base + 1;
        dropped_ += through;
        readPos_ += through;
        scanned_ = 0;
        dropping_ = false;
        compact();
        return Result::Dropped;
    }
    if (!hit) {
        scanned_ = avail;
        return avail > max_ ? Result::TooLong : Result::NeedMore;
    }
    const qsizetype length = static_cast<const char *>(hit) - base;
    scanned_ = length;
    if (length > max_)
        return Result::TooLong;
    text = QByteArray(base, length);
    readPos_ += length + 1;
    scanned_ = 0;
    resetIfEmpty();
    return Result::Message;
}

bool EotFramer::dropOverlong()
{
    const qsizetype avail = buffer_.size() - readPos_;
    const bool eotHere = scanned_ < avail;  // next() stopped on an EOT rather than at the end
    dropping_ = true;
    dropped_ = 0;
    return eotHere;
}

void EotFramer::clear()
{
    buffer_.resize(0);
    readPos_ = 0;
    scanned_ = 0;
}
