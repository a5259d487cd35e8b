// The export table: the Windows .def list, the ordinals marked in the public header and the
// symbols the built library really exports must agree, name for name and ordinal for ordinal.
#include <gtest/gtest.h>

#include <cstdio>
#include <dlfcn.h>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

namespace {

// Every match of `pattern` in the file: name (group `nameGroup`) -> ordinal (the other group).
std::map<std::string, int> ordinals(const char *file, const char *pattern, int nameGroup) {
    std::ifstream in(std::string(PYROLINK_SOURCE_DIR "/") + file);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::map<std::string, int> out;
    const std::regex re(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
        out[(*it)[nameGroup]] = std::stoi((*it)[3 - nameGroup]);
    return out;
}

std::map<std::string, int> defEntries() {
    return ordinals("pyrolink.def", R"((?:^|\n)\s+(\w+)\s+@(\d+)[ \t]*(?=\n|$))", 1);
}

} // namespace

TEST(Exports, DefListsOrdinalsOneTo133AndTheOrdinalsTheProgramBinds) {
    const auto def = defEntries();
    ASSERT_EQ(def.size(), 133u);
    std::map<int, std::string> byOrdinal;
    for (const auto &[name, ordinal] : def)
        byOrdinal[ordinal] = name;
    // 133 distinct ordinals from 1 to 133: the first 132 never move, later exports come after them.
    EXPECT_EQ(byOrdinal.size(), 133u);
    EXPECT_EQ(byOrdinal.begin()->first, 1);
    EXPECT_EQ(byOrdinal.rbegin()->first, 133);
    const std::map<int, std::string> fixed = {
        {1, "OpenComm"},         {2, "CloseComm"},   {64, "ReadBytes"},
        {66, "WriteBytesFlash"}, {97, "DelOneSect"}, {98, "ReadComm"},
        {99, "WriteComm"},       {118, "ClearComm"}, {132, "ResetCommunication"},
        {133, "DrainComm"}};
    for (const auto &[ordinal, name] : fixed)
        EXPECT_EQ(byOrdinal[ordinal], name);
}

TEST(Exports, HeaderDeclaresEveryExportWithItsOrdinal) {
    EXPECT_EQ(ordinals("pyrolink.h", R"(/\*\s*(\d+)\s*\*/\s*PYROLINK_API\s+\w+\s+(\w+)\s*\()", 2),
              defEntries());
}

TEST(Exports, LibraryExportsExactlyTheListedFunctions) {
    const auto def = defEntries();
    void *lib = dlopen(PYROLINK_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    for (const auto &entry : def)
        EXPECT_NE(dlsym(lib, entry.first.c_str()), nullptr) << entry.first;
    dlclose(lib);
    // Internal symbols stay hidden: every exported function is one of the list.
    FILE *nm = popen((std::string("nm -D --defined-only ") + PYROLINK_LIBRARY).c_str(), "r");
    ASSERT_NE(nm, nullptr);
    char line[512], name[400], type;
    while (std::fgets(line, sizeof line, nm)) {
        if (std::sscanf(line, "%*s %c %399s", &type, name) == 2 && type == 'T') {
            EXPECT_TRUE(def.count(name)) << "unexpected export " << name;
        }
    }
    pclose(nm);
}
