// The export table: the Windows .def list, the ordinals marked in the public header and the
// symbols the built library really exports must agree, name for name and ordinal for ordinal.
#include <gtest/gtest.h>

#include <cstdio>
#include <dlfcn.h>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string slurp(const std::string &path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::pair<int, std::string>> defEntries() {
    std::vector<std::pair<int, std::string>> out;
    std::istringstream in(slurp(PYROLINK_SOURCE_DIR "/pyrolink.def"));
    std::string line;
    std::regex entry(R"(^\s+(\w+)\s+@(\d+)\s*$)");
    std::smatch m;
    while (std::getline(in, line))
        if (std::regex_match(line, m, entry)) out.emplace_back(std::stoi(m[2]), m[1]);
    return out;
}

std::map<std::string, int> headerOrdinals() {
    std::map<std::string, int> out;
    std::string text = slurp(PYROLINK_SOURCE_DIR "/pyrolink.h");
    std::regex decl(R"(/\*\s*(\d+)\s*\*/\s*PYROLINK_API\s+\w+\s+(\w+)\s*\()");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), decl); it != std::sregex_iterator(); ++it)
        out[(*it)[2]] = std::stoi((*it)[1]);
    return out;
}

} // namespace

TEST(Exports, DefListsOrdinalsOneTo132InOrder) {
    auto def = defEntries();
    ASSERT_EQ(def.size(), 132u);
    for (std::size_t i = 0; i < def.size(); ++i)
        EXPECT_EQ(def[i].first, static_cast<int>(i + 1)) << def[i].second;
    // The ordinals the program binds.
    std::map<int, std::string> fixed = {
        {1, "OpenComm"},         {2, "CloseComm"},   {64, "ReadBytes"},
        {66, "WriteBytesFlash"}, {97, "DelOneSect"}, {98, "ReadComm"},
        {99, "WriteComm"},       {118, "ClearComm"}, {132, "ResetCommunication"}};
    for (auto &[ordinal, name] : fixed)
        EXPECT_EQ(def[ordinal - 1].second, name);
}

TEST(Exports, HeaderDeclaresEveryExportWithItsOrdinal) {
    auto def = defEntries();
    auto header = headerOrdinals();
    EXPECT_EQ(header.size(), def.size());
    for (auto &[ordinal, name] : def) {
        auto it = header.find(name);
        ASSERT_NE(it, header.end()) << name << " is not declared";
        EXPECT_EQ(it->second, ordinal) << name;
    }
}

TEST(Exports, LibraryExportsExactlyTheListedFunctions) {
    void *lib = dlopen(PYROLINK_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    for (auto &[ordinal, name] : defEntries())
        EXPECT_NE(dlsym(lib, name.c_str()), nullptr) << name;
    dlclose(lib);

    // Internal symbols stay hidden: every exported function is one of the list.
    std::set<std::string> listed;
    for (auto &entry : defEntries())
        listed.insert(entry.second);
    std::string cmd = std::string("nm -D --defined-only ") + PYROLINK_LIBRARY;
    FILE *nm = popen(cmd.c_str(), "r");
    ASSERT_NE(nm, nullptr);
    char line[512];
    std::vector<std::string> extra;
    while (std::fgets(line, sizeof line, nm)) {
        char type;
        char name[400];
        if (std::sscanf(line, "%*s %c %399s", &type, name) != 2 || type != 'T') continue;
        if (!listed.count(name)) extra.push_back(name);
    }
    pclose(nm);
    EXPECT_TRUE(extra.empty()) << "unexpected export " << (extra.empty() ? "" : extra.front());
}
