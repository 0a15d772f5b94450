// The AA template reader: load failures with their reasons, the walk's order, the
// texts it hands over, the required nodes, and the greeting kinds.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <new>
#include <stdexcept>

#include "app/ErrorLog.h"
#include "batch/AaTemplate.h"
#include "batch/GreetingStems.h"
#include "batch/TemplateError.h"
#include "platform/TextConversion.h"
#include "tests/TestSupport.h"

namespace quen::test {
namespace {

// One visit, as 8-bit text for readable comparisons.
struct Visit {
    std::string attendantName;
    std::string id;
    std::string recordingName;
    bool operator==(const Visit&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Visit& visit) {
    return out << "{" << visit.attendantName << "|" << visit.id << "|" << visit.recordingName
               << "}";
}

struct Walk {
    bool result = false;
    std::vector<Visit> visits;
};

class AaTemplateTest : public TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        ASSERT_TRUE(ErrorLog::instance().open(toWide(path("log.txt").string())));
    }
    void TearDown() override {
        ErrorLog::instance().close();
        TempDirTest::TearDown();
    }

    std::u16string templatePath() const { return toWide(path("t.xml").string()); }

    // Walks the template at t.xml; visits are ended after `stopAfter` of them.
    Walk walk(std::size_t stopAfter = SIZE_MAX) const {
        Walk walk;
        walk.result = walkAaTemplate(templatePath(), [&](const TemplateGreeting& greeting) {
            walk.visits.push_back({toNarrow(greeting.attendantName), toNarrow(greeting.id),
                                   toNarrow(greeting.recordingName)});
            return walk.visits.size() < stopAfter;
        });
        return walk;
    }
    Walk walk(const std::string& xml) const {
        writeText(path("t.xml"), xml);
        return walk();
    }

    std::string log() const {
        ErrorLog::instance().close();
        return readText(path("log.txt"));
    }
};

std::string attendant(const std::string& name, const std::string& greetings) {
    return "<AutoAttendant><AAName>" + name + "</AAName><Greetings>" + greetings +
           "</Greetings></AutoAttendant>";
}

std::string greeting(const std::string& id, const std::string& recording) {
    return "<Greeting id=\"" + id + "\"><RecordingName>" + recording +
           "</RecordingName></Greeting>";
}

std::string configuration(const std::string& attendants) {
    return "<zandorConfiguration><AutoAttendants>" + attendants +
           "</AutoAttendants></zandorConfiguration>";
}

TEST_F(AaTemplateTest, ATemplateThatCannotBeReadIsReportedWithItsReason) {
    struct Case {
        std::string name;
        std::string content;
        std::string reason;
    };
    const Case cases[] = {
        {"end tag of another element",
         "<zandorConfiguration>\n  <AutoAttendants>\n</zandorConfiguration>\n",
         "Start-end tags mismatch at line 3, column 3"},
        {"CR LF line ends",
         "<zandorConfiguration>\r\n\r\n<AutoAttendants>\r\n</zandorConfiguration>",
         "Start-end tags mismatch at line 4, column 3"},
        {"lone CR line ends", "<a>\r\r<b></a>", "Start-end tags mismatch at line 3, column 6"},
        {"columns count characters, not bytes", "<a>\xC3\xA9\xE2\x82\xAC</b>",
         "Start-end tags mismatch at line 1, column 8"},
        {"a byte-order mark takes no column", "\xEF\xBB\xBF<a></b>",
         "Start-end tags mismatch at line 1, column 6"},
        {"UTF-16 with byte-order mark", std::string("\xFF\xFE<\0a\0>\0\n\0<\0/\0b\0>\0", 18),
         "Start-end tags mismatch at line 2, column 3"},
        {"declared Latin-1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a>\xE9</b>",
         "Start-end tags mismatch at line 2, column 7"},
        {"unclosed start tag", "<zandorConfiguration",
         "Error parsing start element tag at line 1, column 20"},
        {"bad attribute", "<zandorConfiguration a=1/>",
         "Error parsing element attribute at line 1, column 24"},
        {"empty file", "", "No document element found at line 1, column 1"},
        {"only a comment", "<!-- nothing -->\n", "No document element found at line 2, column 1"},
        {"two root elements", "<zandorConfiguration/>\n <zandorConfiguration/>",
         "More than one root element at line 2, column 3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(ErrorLog::instance().open(toWide(path("log.txt").string())));
        const Walk result = walk(c.content);
        EXPECT_FALSE(result.result);
        EXPECT_TRUE(result.visits.empty());
        EXPECT_EQ(log(), "Failed to read the file \"" + path("t.xml").string() + "\" \ndue to \"" +
                             c.reason + "\"\r\n");
    }
}

TEST_F(AaTemplateTest, ADirectoryInPlaceOfTheTemplateCannotBeRead) {
    std::filesystem::create_directory(path("t.xml"));
    EXPECT_FALSE(walk().result);
    EXPECT_EQ(log(), "Failed to read the file \"" + path("t.xml").string() +
                         "\" \ndue to \"the file cannot be read: Is a directory\"\r\n");
}

TEST_F(AaTemplateTest, GreetingsComeInDocumentOrderAcrossAllGroups) {
    const std::string xml =
        "<?xml version=\"1.0\"?>\n<!-- an administration tool's export -->\n"
        "<zandorConfiguration version=\"2\">"
        "<AutoAttendants>" +
        attendant("A", greeting("morning", "a1.wav") + greeting("menu", "a2.wav")) +
        "<Other><AutoAttendant><AAName>not listed</AAName></AutoAttendant></Other>"
        "<AutoAttendant><AAName>B</AAName>"
        "<Greetings>" +
        greeting("evening", "b1.wav") +
        "<Extra/></Greetings>"
        "<Greeting id=\"menu\"><RecordingName>outside a group</RecordingName></Greeting>"
        "<Greetings>" +
        greeting("afternoon", "b2.wav") + "</Greetings></AutoAttendant>" +
        "</AutoAttendants><Unrelated/>"
        "<AutoAttendants>" +
        attendant("C", greeting("morning", "c1.wav")) + "</AutoAttendants></zandorConfiguration>";
    const Walk result = walk(xml);
    EXPECT_TRUE(result.result);
    const std::vector<Visit> expected = {{"A", "morning", "a1.wav"},
                                         {"A", "menu", "a2.wav"},
                                         {"B", "evening", "b1.wav"},
                                         {"B", "afternoon", "b2.wav"},
                                         {"C", "morning", "c1.wav"}};
    EXPECT_EQ(result.visits, expected);
    EXPECT_EQ(log(), "");
}

TEST_F(AaTemplateTest, AVisitCanEndTheWalk) {
    writeText(path("t.xml"), configuration(attendant("A", greeting("morning", "1.wav") +
                                                              greeting("menu", "2.wav") +
                                                              greeting("evening", "3.wav"))));
    const Walk result = walk(2);
    EXPECT_FALSE(result.result);
    EXPECT_EQ(result.visits.size(), 2u);
}

TEST_F(AaTemplateTest, TemplatesWithoutAttendantsWalkNothingAndSucceed) {
    const std::string xmls[] = {
        // Another root: the location path finds nothing.
        "<configuration><AutoAttendants>" + attendant("A", greeting("morning", "a.wav")) +
            "</AutoAttendants></configuration>",
        // Names are matched exactly, case included.
        "<ZandorConfiguration><AutoAttendants>" + attendant("A", greeting("morning", "a.wav")) +
            "</AutoAttendants></ZandorConfiguration>",
        "<zandorConfiguration><autoAttendants>" + attendant("A", greeting("morning", "a.wav")) +
            "</autoAttendants></zandorConfiguration>",
        "<zandorConfiguration/>",
        // An attendant without Greetings needs only its name.
        configuration(attendant("A", "")),
        configuration("<AutoAttendant><AAName>A</AAName></AutoAttendant>"),
        // A greeting with an empty recording is skipped silently.
        configuration(attendant("A", greeting("morning", "") + greeting("menu", " \r\n\t ") +
                                         greeting("evening", "<![CDATA[]]>"))),
    };
    for (const std::string& xml : xmls) {
        SCOPED_TRACE(xml);
        const Walk result = walk(xml);
        EXPECT_TRUE(result.result);
        EXPECT_TRUE(result.visits.empty());
    }
    EXPECT_EQ(log(), "");
}

TEST_F(AaTemplateTest, ElementTextsAreAllCharacterDataTrimmedOfXmlWhiteSpace) {
    struct Case {
        std::string content;
        std::string text;
    };
    const Case cases[] = {
        {"  day.wav \r\n\t", "day.wav"},
        {"<![CDATA[ day.wav ]]>", "day.wav"},
        {"\n  <![CDATA[a b]]>\n", "a b"},
        {"da<x>y</x><![CDATA[.]]><y><z>wav</z></y>", "day.wav"},
        {"a<x/> <x/>b", "a b"},
        {" a <!-- note --> b ", "a  b"},
        {"a<?pi data?>b", "ab"},
        {"&lt;x&gt;&amp;&#x41;&#66;", "<x>&AB"},
        // Line ends inside are normalised by the parser, and kept.
        {"a\r\nb", "a\nb"},
        // Only XML white space is trimmed; a no-break space stays.
        {"\xC2\xA0x\xC2\xA0", "\xC2\xA0x\xC2\xA0"},
        {"&#x20;x&#x9;", "x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content);
        const Walk result =
            walk(configuration(attendant(c.content, greeting("morning", c.content))));
        ASSERT_EQ(result.visits.size(), 1u);
        EXPECT_EQ(result.visits[0].attendantName, c.text);
        EXPECT_EQ(result.visits[0].recordingName, c.text);
    }
}

TEST_F(AaTemplateTest, TheIdIsTheAttributeValueUntrimmed) {
    const Walk result = walk(configuration(attendant(
        "A", greeting(" morning ", "1.wav") + greeting("a&#9;b&#x20;", "2.wav") +
                 "<Greeting other=\"x\" id='menu'><RecordingName>3.wav</RecordingName></Greeting>" +
                 greeting("", "4.wav"))));
    const std::vector<Visit> expected = {{"A", " morning ", "1.wav"},
                                         {"A", "a\tb ", "2.wav"},
                                         {"A", "menu", "3.wav"},
                                         {"A", "", "4.wav"}};
    EXPECT_EQ(result.visits, expected);
}

TEST_F(AaTemplateTest, TheFirstNameAndRecordingCount) {
    const Walk result = walk(configuration(
        "<AutoAttendant><AAName>first</AAName><AAName>second</AAName><Greetings>"
        "<Greeting id=\"menu\"><RecordingName>one.wav</RecordingName>"
        "<RecordingName>two.wav</RecordingName></Greeting>"
        // An empty first recording is not replaced by a later one.
        "<Greeting id=\"menu\"><RecordingName/><RecordingName>three.wav</RecordingName>"
        "</Greeting></Greetings></AutoAttendant>"));
    const std::vector<Visit> expected = {{"first", "menu", "one.wav"}};
    EXPECT_EQ(result.visits, expected);
}

TEST_F(AaTemplateTest, AMissingRequiredNodeEndsTheWalkAfterTheGreetingsBeforeIt) {
    struct Case {
        std::string name;
        std::string attendants;
        std::size_t visitsBefore;
    };
    const Case cases[] = {
        {"AAName",
         attendant("A", greeting("morning", "1.wav")) +
             "<AutoAttendant><Greetings/></AutoAttendant>" +
             attendant("C", greeting("menu", "3.wav")),
         1},
        {"AAName of an attendant without greetings", "<AutoAttendant/>", 0},
        {"AAName given as an attribute", "<AutoAttendant AAName=\"A\"/>", 0},
        {"id",
         attendant("A", greeting("morning", "1.wav") +
                            "<Greeting><RecordingName>2.wav</RecordingName></Greeting>" +
                            greeting("menu", "3.wav")),
         1},
        // The id is read before the recording is found empty.
        {"id of a greeting without recording",
         attendant("A", "<Greeting><RecordingName/></Greeting>"), 0},
        {"id in another case",
         attendant("A",
                   "<Greeting ID=\"menu\"><RecordingName>x.wav"
                   "</RecordingName></Greeting>"),
         0},
        {"RecordingName",
         attendant("A", greeting("morning", "1.wav") + greeting("menu", "2.wav") +
                            "<Greeting id=\"evening\"/>" + greeting("menu", "4.wav")),
         2},
        {"RecordingName below another element",
         attendant("A",
                   "<Greeting id=\"menu\"><x><RecordingName>1.wav</RecordingName></x>"
                   "</Greeting>"),
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeText(path("t.xml"), configuration(c.attendants));
        std::size_t visits = 0;
        EXPECT_THROW(walkAaTemplate(templatePath(),
                                    [&visits](const TemplateGreeting&) {
                                        ++visits;
                                        return true;
                                    }),
                     TemplateError);
        EXPECT_EQ(visits, c.visitsBefore);
    }
}

TEST_F(AaTemplateTest, NoDocumentTypeDeclarationIsProcessed) {
    writeText(path("secret.wav"), "not to be read");
    const std::string xml =
        "<!DOCTYPE zandorConfiguration [\n"
        "  <!ENTITY outside SYSTEM \"file://" +
        path("secret.wav").string() +
        "\">\n"
        "  <!ENTITY inside \"x.wav\">\n"
        "]>\n" +
        configuration(
            attendant("A", greeting("morning", "&outside;") + greeting("menu", "&inside;")));
    const Walk result = walk(xml);
    EXPECT_TRUE(result.result);
    const std::vector<Visit> expected = {{"A", "morning", "&outside;"}, {"A", "menu", "&inside;"}};
    EXPECT_EQ(result.visits, expected);
}

TEST_F(AaTemplateTest, TemplateErrorsAreReportedOnceAroundTheJob) {
    EXPECT_FALSE(reportingTemplateErrors([]() -> bool { throw TemplateError(); }));
    EXPECT_FALSE(
        reportingTemplateErrors([]() -> bool { throw TemplateError("parser said \xC3\xA9"); }));
    EXPECT_TRUE(reportingTemplateErrors([] { return true; }));
    EXPECT_FALSE(reportingTemplateErrors([] { return false; }));
    // Other failures are not the template's: they pass on.
    EXPECT_THROW(reportingTemplateErrors([]() -> bool { throw std::bad_alloc(); }), std::bad_alloc);
    EXPECT_EQ(log(), "\r\nparser said \xC3\xA9\r\n");
}

TEST(GreetingStemsTest, OnlyTheFourKindsHaveStemsAndUnknownIdsAreRemembered) {
    GreetingStems stems;
    EXPECT_EQ(stems.size(), 4u);
    const std::pair<std::u16string, std::u16string> lookups[] = {
        {u"morning", u"AM_greeting"},
        {u"afternoon", u"PM_greeting"},
        {u"evening", u"EV_greeting"},
        {u"menu", u"MN_greeting"},
        {u"Morning", u""},
        {u"morning ", u""},
        {u" morning", u""},
        {u"MENU", u""},
        {u"men", u""},
        {u"menus", u""},
        {u"", u""},
        {u"morning", u"AM_greeting"},
        {u"Morning", u""},
        {u"menu\u0130", u""},
    };
    for (const auto& [id, stem] : lookups) {
        SCOPED_TRACE(toNarrow(id));
        EXPECT_EQ(stems.stemFor(id), stem);
    }
    // Each unknown id once; known ids and repeated lookups add nothing.
    EXPECT_EQ(stems.size(), 4u + 8u);
}

}  // namespace
}  // namespace quen::test
