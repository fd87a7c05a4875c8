#pragma once

#include <QByteArray>

// Cuts a received byte stream into messages at EOT, for the station's reader and the
// rehearsal server alike. Pure: bytes in, messages out, no socket and no clock. Bytes are
// scanned once however they arrive.
class EotFramer {
public:
    enum class Result {
        Message,   // `text` holds the bytes before the next EOT; they and the EOT are taken
        NeedMore,  // no complete message yet
        TooLong,   // more than the limit before the next EOT (which may not have come yet);
                   // nothing is taken: the caller gives up or calls dropOverlong()
        Dropped,   // after dropOverlong(): an over-long message was dropped through its EOT;
                   // droppedBytes() says how long it was, its EOT included
    };

    explicit EotFramer(qsizetype maxMessageBytes);

    void append(const char *data, qsizetype size);
    void append(const QByteArray &bytes) { append(bytes.constData(), bytes.size()); }
    // Room for `size` more bytes at the end, to be filled in place (a socket read); commit()
    // then keeps the first `got` of them. No other call between the two.
    char *reserve(qsizetype size);
    void commit(qsizetype got);

    Result next(QByteArray &text);
    // After TooLong: the message is dropped up to and including its EOT, now or as its bytes
    // arrive, and next() reports Dropped once it is. True when its EOT is already here.
    bool dropOverlong();
    // Inside an over-long message, dropping up to its EOT.
    bool dropping() const { return dropping_; }
    // Of the over-long message being dropped, or last dropped, the bytes dropped so far.
    qsizetype droppedBytes() const { return dropped_; }

    // Bytes received and not yet taken.
    qsizetype pending() const { return buffer_.size() - readPos_; }
    // Lets go of the bytes not yet taken (a peer no longer read). An over-long message being
    // dropped stays so, with its count.
    void clear();

private:
    void compact();
    void resetIfEmpty();

    qsizetype max_;
    QByteArray buffer_;
    qsizetype readPos_ = 0;  // received bytes not yet taken start here
    qsizetype scanned_ = 0;  // bytes from readPos_ already known to hold no EOT
    qsizetype reserved_ = 0; // the size before reserve()
    bool dropping_ = false;
    qsizetype dropped_ = 0;
};
