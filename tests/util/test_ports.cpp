/* Port names both ways, and the ports that Wine's real spooler lists: the
 * tests write the spooler's port list where Wine's local port monitor
 * reads it (the Ports key below) and restore it afterwards. The spooler
 * failures that Wine never gives come from a stand-in for EnumPortsA. */
#include <gtest/gtest.h>
#include <algorithm>
#include <string.h>
#include <string>
#include <vector>
#include "util/ports.h"
#include "winesettings.h"

#define SPOOLER_PORTS_KEY "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports"
/* What a caller might have left in its array: not a port code. */
#define FILLER 0xEE

typedef std::vector<BYTE> Presence;

static Presence Zeroed()
{
    return Presence(PORT_COUNT, 0);
}

TEST(PortNames, CodeToNameTakesTheLowByte)
{
    static const struct { unsigned long code; const char *name; } cases[] = {
        { 1, "Lpt1" }, { 2, "Lpt2" }, { 3, "Lpt3" },
        { 4, "Com1" }, { 5, "Com2" }, { 6, "Com3" }, { 7, "Com4" },
        { 0, "Inv" }, { 8, "Inv" }, { 9, "Inv" }, { 0x7F, "Inv" }, { 0xFF, "Inv" },
        /* Wider values: only the low byte counts. */
        { 0x100, "Inv" }, { 0x104, "Com1" }, { 0x1FF, "Inv" }, { 0x12345607, "Com4" },
        { 0xFFFFFF01, "Lpt1" }, { 0xFFFFFFFF, "Inv" },
    };
    for (const auto &c : cases)
    {
        BYTE code = (BYTE)c.code;
        LPSTR name = PortCodeToName(code);
        EXPECT_EQ(name, PortNameBuffer) << c.code;
        EXPECT_STREQ(name, c.name) << std::hex << c.code;
    }
}

static_assert(sizeof(PortNameBuffer) == 8, "the shared buffer holds \"Inv\" and a port name");

TEST(PortNames, EachCallOverwritesTheSharedBuffer)
{
    LPSTR first = PortCodeToName(PORT_LPT2);
    std::string kept = first;
    LPSTR second = PortCodeToName(PORT_COM3);
    EXPECT_EQ(first, second);
    EXPECT_STREQ(first, "Com3");
    EXPECT_EQ(kept, "Lpt2");
}

TEST(PortNames, NameToCodeIgnoresCaseOnlyOverTheWholeText)
{
    static const struct { const char *name; BYTE code; } cases[] = {
        { "LPT3", PORT_LPT3 }, { "lpt3", PORT_LPT3 }, { "Lpt3", PORT_LPT3 }, { "lPt3", PORT_LPT3 },
        { "Lpt1", PORT_LPT1 }, { "lpt2", PORT_LPT2 }, { "COM1", PORT_COM1 },
        { "com2", PORT_COM2 }, { "Com3", PORT_COM3 }, { "cOM4", PORT_COM4 },
    };
    for (const auto &c : cases)
        EXPECT_EQ(PortNameToCode(c.name), c.code) << c.name;

    static const char *const noPort[] = {
        "Lpt3:", "Lpt 3", " Lpt3", "Lpt3 ", "Lpt", "Lpt4", "Com5", "Com0", "Lpt31",
        "Inv", "", "FILE:", "LPT1:", "Com",
    };
    for (const char *name : noPort)
    {
        BYTE code = PortNameToCode(name);
        EXPECT_EQ(code, PORT_NONE) << name;
        EXPECT_TRUE(code < PORT_LPT1 || code > PORT_COM4) << name;
    }
}

TEST(PortNames, EveryNameLeadsBackToItsCode)
{
    for (BYTE code = PORT_LPT1; code <= PORT_COM4; code++)
        EXPECT_EQ(PortNameToCode(PortCodeToName(code)), code);
    /* "Inv" is no port's name. */
    EXPECT_EQ(PortNameToCode(PortCodeToName(0)), PORT_NONE);
}

/* The spooler's port list, set for real in the registry: the spooler runs
 * in the program's own process and reads the list in its own view. */
class PresentPorts : public ::testing::Test
{
protected:
    struct Value
    {
        std::string name;
        DWORD type;
        std::vector<BYTE> data;
    };

    void SetUp() override
    {
        key = OpenSettingKey(PROGRAM_VIEW, HKEY_LOCAL_MACHINE, SPOOLER_PORTS_KEY);
        ASSERT_TRUE(key != NULL);
        for (DWORD i = 0;; i++)
        {
            char name[256];
            BYTE data[1024];
            DWORD nameLength = sizeof(name), dataLength = sizeof(data), type;
            if (RegEnumValueA(key, i, name, &nameLength, NULL, &type, data, &dataLength) !=
                ERROR_SUCCESS)
                break;
            saved.push_back({ name, type, std::vector<BYTE>(data, data + dataLength) });
        }
        ASSERT_FALSE(saved.empty()) << "Wine's prefix lists its ports here";
    }

    void TearDown() override
    {
        ClearList();
        for (const Value &v : saved)
            RegSetValueExA(key, v.name.c_str(), 0, v.type, v.data.data(), (DWORD)v.data.size());
        RegCloseKey(key);
    }

    void ClearList()
    {
        char name[256];
        DWORD length = sizeof(name);
        while (RegEnumValueA(key, 0, name, &length, NULL, NULL, NULL, NULL) == ERROR_SUCCESS)
        {
            RegDeleteValueA(key, name);
            length = sizeof(name);
        }
    }

    void SetList(const std::vector<std::string> &ports)
    {
        ClearList();
        for (const std::string &port : ports)
            RegSetValueExA(key, port.c_str(), 0, REG_SZ, (const BYTE *)"", 1);
    }

    HKEY key = NULL;
    std::vector<Value> saved;
};

TEST_F(PresentPorts, WineListsThePortsOfTheRegistry)
{
    SetList({ "LPT1:", "COM1:", "COM2:", "FILE:" });
    DWORD needed = 0, returned = 0;
    EnumPortsA(NULL, 1, NULL, 0, &needed, &returned);
    std::vector<BYTE> list(needed);
    ASSERT_TRUE(EnumPortsA(NULL, 1, list.data(), needed, &needed, &returned));
    std::vector<std::string> names;
    for (DWORD i = 0; i < returned; i++)
        names.push_back(((PORT_INFO_1A *)list.data())[i].pName);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, std::vector<std::string>({ "COM1:", "COM2:", "FILE:", "LPT1:" }));
}

TEST_F(PresentPorts, MarksTheListedPortsByTheirFirstFourCharacters)
{
    static const struct
    {
        std::vector<std::string> ports;
        BYTE before;
        Presence after;
    } cases[] = {
        { { "LPT1:", "COM1:", "COM2:", "FILE:" }, 0, { 1, 0, 0, 4, 5, 0, 0 } },
        { { "LPT1:", "LPT2:", "LPT3:", "COM1:", "COM2:", "COM3:", "COM4:", "FILE:" },
          0, { 1, 2, 3, 4, 5, 6, 7 } },
        /* Case counts, and only four characters are compared. */
        { { "lpt1:" }, 0, Zeroed() },
        { { "LPT10:" }, 0, { 1, 0, 0, 0, 0, 0, 0 } },
        { { "com3:", "Com4:", "COM4" }, 0, { 0, 0, 0, 0, 0, 0, 7 } },
        /* None of the seven: the caller's bytes stay as they were. */
        { { "FILE:", "LPT", "COM:", "NUL:" }, FILLER, Presence(PORT_COUNT, FILLER) },
        { { "lpt1:", "FILE:" }, FILLER, Presence(PORT_COUNT, FILLER) },
        /* Absent ports keep what the caller put there. */
        { { "COM2:" }, FILLER, { FILLER, FILLER, FILLER, FILLER, 5, FILLER, FILLER } },
    };
    for (const auto &c : cases)
    {
        SetList(c.ports);
        Presence presence(PORT_COUNT, c.before);
        EXPECT_NE(GetPresentPorts(presence.data()), 0) << c.ports[0];
        EXPECT_EQ(presence, c.after) << c.ports[0];
    }
}

TEST_F(PresentPorts, ASecondCallOnTheSameArrayKeepsTheFirstMarks)
{
    Presence presence = Zeroed();
    SetList({ "LPT1:", "COM1:", "COM2:", "FILE:" });
    ASSERT_NE(GetPresentPorts(presence.data()), 0);
    EXPECT_EQ(presence, Presence({ 1, 0, 0, 4, 5, 0, 0 }));

    SetList({ "COM3:", "lpt1:", "LPT10:" });
    ASSERT_NE(GetPresentPorts(presence.data()), 0);
    EXPECT_EQ(presence, Presence({ 1, 0, 0, 4, 5, 6, 0 }));

    SetList({ "FILE:", "lpt2:" });
    ASSERT_NE(GetPresentPorts(presence.data()), 0);
    EXPECT_EQ(presence, Presence({ 1, 0, 0, 4, 5, 6, 0 }));
}

TEST_F(PresentPorts, AFailedSizeQueryWritesNothing)
{
    /* With no port at all, Wine's spooler answers the size query with
     * RPC_X_NULL_REF_POINTER rather than a size of 0: a real failure of
     * the first call, which must leave the array alone. */
    SetList({});
    DWORD needed = 0, returned = 0;
    BOOL listed = EnumPortsA(NULL, 1, NULL, 0, &needed, &returned);
    DWORD error = GetLastError();

    ASSERT_FALSE(listed);
    ASSERT_NE(error, (DWORD)ERROR_INSUFFICIENT_BUFFER);

    Presence presence(PORT_COUNT, FILLER);
    EXPECT_EQ(GetPresentPorts(presence.data()), 0);
    EXPECT_EQ(presence, Presence(PORT_COUNT, FILLER));
}

/* A stand-in spooler: lists the given names, or fails as told. */
static std::vector<std::string> StandInPorts;
static struct
{
    int failCall;      /* 1-based call that fails with failError; 0: none */
    DWORD failError;
    bool sizeQueryAnswers;  /* the size query succeeds, with the size */
} StandIn;
static std::vector<DWORD> StandInSizes;

static BOOL WINAPI StandInEnumPorts(LPSTR server, DWORD level, LPBYTE ports, DWORD size,
                                    LPDWORD needed, LPDWORD returned)
{
    StandInSizes.push_back(size);
    EXPECT_TRUE(server == NULL);
    EXPECT_EQ(level, 1u);
    *returned = 0;
    DWORD total = (DWORD)(StandInPorts.size() * sizeof(PORT_INFO_1A));
    for (const std::string &name : StandInPorts)
        total += (DWORD)name.size() + 1;
    *needed = total;

    if ((int)StandInSizes.size() == StandIn.failCall)
    {
        SetLastError(StandIn.failError);
        return FALSE;
    }
    if (size < total && !(StandInSizes.size() == 1 && StandIn.sizeQueryAnswers))
    {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (ports)
    {
        PORT_INFO_1A *records = (PORT_INFO_1A *)ports;
        char *text = (char *)(records + StandInPorts.size());
        for (const std::string &name : StandInPorts)
        {
            strcpy(text, name.c_str());
            records[*returned].pName = text;
            text += name.size() + 1;
            ++*returned;
        }
    }
    return TRUE;
}

class PresentPortsStandIn : public ::testing::Test
{
protected:
    void SetUp() override
    {
        StandInPorts = { "LPT1:", "COM1:", "COM2:", "FILE:" };
        StandIn.failCall = 0;
        StandIn.failError = 0;
        StandIn.sizeQueryAnswers = false;
        StandInSizes.clear();
        EnumPortsRoutine = StandInEnumPorts;
    }

    void TearDown() override
    {
        EnumPortsRoutine = EnumPortsA;
    }
};

TEST_F(PresentPortsStandIn, AsksForTheSizeThenForExactlyThatMuch)
{
    Presence presence = Zeroed();
    EXPECT_NE(GetPresentPorts(presence.data()), 0);
    EXPECT_EQ(presence, Presence({ 1, 0, 0, 4, 5, 0, 0 }));
    ASSERT_EQ(StandInSizes.size(), 2u);
    EXPECT_EQ(StandInSizes[0], 0u);
    EXPECT_EQ(StandInSizes[1], 4 * sizeof(PORT_INFO_1A) + 6 + 6 + 6 + 6);
}

TEST_F(PresentPortsStandIn, ASizeQueryThatSucceedsAlsoGoesOn)
{
    Presence presence = Zeroed();
    StandIn.sizeQueryAnswers = true;
    EXPECT_NE(GetPresentPorts(presence.data()), 0);
    EXPECT_EQ(presence, Presence({ 1, 0, 0, 4, 5, 0, 0 }));

    /* An empty list is a list: success, nothing marked. */
    StandInPorts.clear();
    StandInSizes.clear();
    presence.assign(PORT_COUNT, FILLER);
    EXPECT_NE(GetPresentPorts(presence.data()), 0);
    EXPECT_EQ(presence, Presence(PORT_COUNT, FILLER));
    EXPECT_EQ(StandInSizes.size(), 2u);
}

TEST_F(PresentPortsStandIn, FailuresReturnZeroAndWriteNothing)
{
    static const struct { int failCall; DWORD error; size_t calls; } cases[] = {
        { 1, ERROR_ACCESS_DENIED, 1 },       /* size query fails for another reason */
        { 1, ERROR_INVALID_LEVEL, 1 },
        { 2, ERROR_INSUFFICIENT_BUFFER, 2 }, /* the list grew in between */
        { 2, ERROR_NOT_ENOUGH_MEMORY, 2 },
    };
    for (const auto &c : cases)
    {
        StandIn.failCall = c.failCall;
        StandIn.failError = c.error;
        StandInSizes.clear();
        Presence presence(PORT_COUNT, FILLER);
        EXPECT_EQ(GetPresentPorts(presence.data()), 0) << c.error;
        EXPECT_EQ(presence, Presence(PORT_COUNT, FILLER)) << c.error;
        EXPECT_EQ(StandInSizes.size(), c.calls) << c.error;
    }
}
