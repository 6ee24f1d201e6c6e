#include "net/Answer.h"
#include <gtest/gtest.h>

using namespace sf;

namespace {

struct TRun {
    TAnswerParser P;
    std::string Body;
    int Blocks = 0;
    int HeaderEnds = 0;
    TRun()
    {
        P.OnBody = [this](const char* d, size_t n) { Body.append(d, n); ++Blocks; };
        P.OnHeaderEnd = [this] { ++HeaderEnds; };
    }
    TRun& Feed(const std::string& s)
    {
        P.Feed(s.data(), s.size());
        return *this;
    }
    TRun& FeedBytewise(const std::string& s)
    {
        for (char c : s)
            P.Feed(&c, 1);
        return *this;
    }
};

} // namespace

TEST(Answer, StatusReasonAndFields)
{
    TRun r;
    r.Feed("HTTP/1.1 200 OK fine\r\nContent-Length: 5\r\ncontent-TYPE: Image/GIF\r\nX-Other: 1\r\nConnection:close\r\n\r\nabcde");
    EXPECT_EQ(r.P.Phase(), TAnswerParser::TPhase::Done);
    EXPECT_EQ(r.P.StatusCode, 200);
    EXPECT_EQ(r.P.ReasonPhrase, "OK fine");
    EXPECT_EQ(r.P.ContentLength, 5);
    EXPECT_EQ(r.P.ContentType, "image/gif");
    EXPECT_EQ(r.P.Connection, "close");
    ASSERT_EQ(r.P.HeaderLines.size(), 5u);
    EXPECT_EQ(r.P.HeaderLines[3], "X-Other: 1");
    EXPECT_EQ(r.Body, "abcde");
    EXPECT_EQ(r.HeaderEnds, 1);
}

TEST(Answer, StatusCodeStartsAtFirstDigitFromTenthCharacter)
{
    TRun r;
    r.Feed("HTTP/1.0   404 Gone away\n\n");
    EXPECT_EQ(r.P.StatusCode, 404);
    EXPECT_EQ(r.P.ReasonPhrase, "Gone away");
    TRun bare;
    bare.Feed("HTTP/1.0 302\r\n\r\n");
    EXPECT_EQ(bare.P.StatusCode, 302);
    EXPECT_EQ(bare.P.ReasonPhrase, "");
}

TEST(Answer, BytewiseFeedingGivesTheSameAnswer)
{
    const std::string a = "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nxyz";
    TRun whole, bytes;
    whole.Feed(a);
    bytes.FeedBytewise(a);
    EXPECT_EQ(whole.Body, bytes.Body);
    EXPECT_EQ(bytes.P.StatusCode, 200);
    EXPECT_EQ(bytes.Blocks, 3);
}

TEST(Answer, BytesBeyondContentLengthAreDiscardedAndCounted)
{
    TRun r;
    r.Feed("HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\n0123456789");
    EXPECT_EQ(r.Body, "0123");
    EXPECT_EQ(r.P.DiscardedCount, 6);
    EXPECT_TRUE(r.P.Finished());
}

TEST(Answer, WithoutLengthTheBodyEndsAtClose)
{
    TRun r;
    r.Feed("HTTP/1.0 200 OK\r\n\r\nsome").Feed(" more");
    EXPECT_FALSE(r.P.Finished());
    r.P.Close();
    EXPECT_EQ(r.P.Phase(), TAnswerParser::TPhase::Done);
    EXPECT_EQ(r.Body, "some more");
}

TEST(Answer, ZeroLengthAndNoBodyStatuses)
{
    TRun zero;
    zero.Feed("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
    EXPECT_TRUE(zero.P.Finished());
    EXPECT_EQ(zero.Blocks, 0);
    for (int code : {204, 301, 302, 304, 401, 407, 101}) {
        TRun r;
        r.Feed("HTTP/1.0 " + std::to_string(code) + " X\r\n\r\n");
        EXPECT_TRUE(r.P.Finished()) << code;
    }
    TRun notFound; // a 404 without length has a body up to the close
    notFound.Feed("HTTP/1.0 404 Not Found\r\n\r\n");
    EXPECT_FALSE(notFound.P.Finished());
    TRun movedWithBody; // an announced body of a relocation is read
    movedWithBody.Feed("HTTP/1.0 302 Found\r\nLocation: /x\r\nContent-Length: 2\r\n\r\nab");
    EXPECT_EQ(movedWithBody.Body, "ab");
    EXPECT_TRUE(movedWithBody.P.HasLocation);
    EXPECT_EQ(movedWithBody.P.Location, "/x");
}

TEST(Answer, InterimContinueIsDiscardedOnlyForHttp11)
{
    TRun r;
    r.Feed("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nZ");
    EXPECT_EQ(r.P.StatusCode, 200);
    EXPECT_EQ(r.Body, "Z");
    EXPECT_EQ(r.HeaderEnds, 1);
    TRun old;
    old.Feed("HTTP/1.0 100 Continue\r\n\r\n");
    EXPECT_EQ(old.P.StatusCode, 100);
    EXPECT_TRUE(old.P.Finished());
}

TEST(Answer, HeaderlessHtmlIsAllBody)
{
    TRun r;
    r.Feed("<html><body>\r\nlisting</body>");
    EXPECT_EQ(r.P.ContentType, "text/html");
    EXPECT_EQ(r.P.StatusCode, 0);
    r.P.Close();
    EXPECT_EQ(r.Body, "<html><body>\r\nlisting</body>");
}

TEST(Answer, ChunkedBodyIsDecoded)
{
    TRun r;
    r.FeedBytewise("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4;ext=1\r\nWiki\r\nA\r\n0123456789\r\n0\r\nTrailer: x\r\n\r\n");
    EXPECT_EQ(r.P.Phase(), TAnswerParser::TPhase::Done);
    EXPECT_EQ(r.Body, "Wiki0123456789");
    EXPECT_EQ(r.P.ReceivedCount, 14);
}

TEST(Answer, TwoDigitChunkSizesAreHex)
{
    // "1A" is 26 bytes, "10" sixteen: a parser reading one digit or decimal would cut the body.
    const std::string letters = "abcdefghijklmnopqrstuvwxyz";
    for (bool bytewise : {false, true}) {
        TRun r;
        const std::string answer = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1A\r\n" + letters +
                                   "\r\n10\r\n0123456789abcdef\r\n0\r\n\r\n";
        bytewise ? r.FeedBytewise(answer) : r.Feed(answer);
        EXPECT_EQ(r.P.Phase(), TAnswerParser::TPhase::Done);
        EXPECT_EQ(r.Body, letters + "0123456789abcdef");
        EXPECT_EQ(r.P.ReceivedCount, 42);
    }
}

TEST(Answer, HostileAnswersFailWithAReason)
{
    TRun longLine;
    longLine.Feed("HTTP/1.0 200 OK\r\nX: " + std::string(9000, 'a'));
    EXPECT_EQ(longLine.P.Phase(), TAnswerParser::TPhase::Failed);
    EXPECT_NE(longLine.P.Error().find("8190"), std::string::npos);

    TRun huge;
    huge.Feed("HTTP/1.0 200 OK\r\n");
    for (int i = 0; i < 2000 && !huge.P.Finished(); ++i)
        huge.Feed("X-Filler: " + std::string(60, 'b') + "\r\n");
    EXPECT_EQ(huge.P.Phase(), TAnswerParser::TPhase::Failed);
    EXPECT_NE(huge.P.Error().find("65536"), std::string::npos);

    TRun badLength;
    badLength.Feed("HTTP/1.0 200 OK\r\nContent-Length: 12abc\r\n\r\nxyz");
    EXPECT_EQ(badLength.P.Phase(), TAnswerParser::TPhase::Failed);
    EXPECT_NE(badLength.P.Error().find("Content-Length"), std::string::npos);
    EXPECT_TRUE(badLength.Body.empty());

    TRun overflow;
    overflow.Feed("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFFFFFF\r\n");
    EXPECT_EQ(overflow.P.Phase(), TAnswerParser::TPhase::Failed);

    TRun notHex;
    notHex.Feed("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n");
    EXPECT_EQ(notHex.P.Phase(), TAnswerParser::TPhase::Failed);

    TRun cut;
    cut.Feed("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nabc");
    cut.P.Close();
    EXPECT_EQ(cut.P.Phase(), TAnswerParser::TPhase::Failed);
}

TEST(Answer, CloseBeforeAnyHeaderEndsWithoutStatus)
{
    TRun r;
    r.P.Close();
    EXPECT_EQ(r.P.Phase(), TAnswerParser::TPhase::Done);
    EXPECT_EQ(r.P.StatusCode, 0);
}
