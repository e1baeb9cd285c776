#include "service/Sha1.h"
#include "support/ServiceFixture.h"

#include <QCryptographicHash>
#include <gtest/gtest.h>

using namespace nubo;
using nubo::test::ServiceFixture;

// Large inputs are fed a page at a time; checked against an independent hash at the page edges,
// with pieces that leave a partial page (and a partial 64-byte block) between calls.
TEST(Sha1, MatchesAnIndependentHashWhateverThePieces) {
    const QByteArray content = ServiceFixture::randomBytes(3 * 1024 * 1024 + 77, 5);
    for (qsizetype size : {0, 1, 63, 4095, 4096, 4097, 8192 + 1, 1 << 20, int(content.size())}) {
        const QByteArray data = content.left(size);
        const QString expected =
            QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex());
        EXPECT_EQ(Sha1::of(data), expected) << size;
        for (qsizetype piece : {1, 100, 4095, 4097, 70000}) {
            if ((piece > size && size > 0) || (piece == 1 && size > 8193))
                continue;
            Sha1 split;
            for (qsizetype at = 0; at < size; at += piece)
                split.add(data.constData() + at, qMin(piece, size - at));
            EXPECT_EQ(split.hex(), expected) << size << " in pieces of " << piece;
        }
    }
}
