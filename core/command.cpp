// Reading the command line.
#include "core/command.h"

#include "core/text.h"

namespace {

// The command without "debug": its kind and values. Only a first word that is one of
// the verbs makes a command (checked to the letter); any other opens the window, as a
// shortcut with a word of its own always did. "/?" asks for the usage text.
Command ReadWords(const std::vector<std::wstring>& words) {
    if (words.empty()) {
        return {};
    }
    if (words[0] == L"/?") {
        return {Command::NotUnderstood, {}};
    }
    static constexpr struct {
        const wchar_t* verb;
        Command::Kind kind;
        std::size_t values;
    } kVerbs[] = {
        {L"apply", Command::Apply, 4},   {L"apply-list", Command::ApplyList, 1},
        {L"upload", Command::Upload, 2}, {L"update-list", Command::UpdateList, 3},
        {L"find", Command::Find, 0},     {L"find", Command::Find, 1},
        {L"find", Command::Find, 2},
    };
    bool isVerb = false;
    for (const auto& verb : kVerbs) {
        isVerb = isVerb || SameAsciiWord(words[0], verb.verb);
        if (SameAsciiWord(words[0], verb.verb) && words.size() == verb.values + 1) {
            return {verb.kind, {words.begin() + 1, words.end()}};
        }
    }
    return {isVerb ? Command::NotUnderstood : Command::Window, {}};
}

} // namespace

Command ParseCommand(const std::vector<std::wstring>& arguments) {
    std::vector<std::wstring> words;
    bool debug = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (SameAsciiWord(arguments[i], L"debug")) {
            debug = true;
        } else {
            words.push_back(arguments[i]);
        }
    }
    Command command = ReadWords(words);
    command.debug = debug;
    return command;
}

std::wstring UsageText() {
    return L"Usage:\n"
           L"  Varnok.exe                                          the window\n"
           L"  Varnok.exe apply SERIAL ADDRESS NETMASK GATEWAY     one unit\n"
           L"  Varnok.exe apply-list FILE.csv                      every unit of the file\n"
           L"  Varnok.exe upload ADDRESS FILE                      an image (*.bin, *.ROM)\n"
           L"  Varnok.exe update-list FILE.csv FIRMWARE WEBPAGES   both images to every unit\n"
           L"  Varnok.exe find [ADAPTER-ADDRESS | FROM TO]         the units on the network\n"
           L"FILE.csv: serial,address,netmask,gateway per line (comma or semicolon).\n"
           L"update-list: the web pages go only to a unit whose firmware went through; \"-\"\n"
           L"for an image leaves it out.\n"
           L"find: the subnet of the adapter last used for a unit (else the only one up), of\n"
           L"the adapter with ADAPTER-ADDRESS, or FROM to TO; one line per unit found:\n"
           L"MAC ADDRESS SERIALS.\n"
           L"\"debug\" anywhere writes varnok.log. Exit code 0: every unit succeeded (find: one\n"
           L"or more found); 1: one or more failed (find: none found); 2: the command was not\n"
           L"understood.\n";
}
