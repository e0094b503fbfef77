// modemsim: a simulated mobile broadband modem on pseudo-terminals. See README.md.
#include "io_loop.h"
#include "modem.h"
#include "profiles.h"
#include "scenario.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace modemsim;

namespace {

volatile std::sig_atomic_t g_stop = 0;

void on_signal(int) {
    g_stop = 1;
}

struct Options {
    std::string profile;
    std::string scenario;
    std::string transcript;
    std::string control;
    std::string control_fifo;
    std::string ports;
    std::vector<std::string> links;
    std::vector<std::string> settings; // --set KEY=VALUE
    bool trace = false;
};

void usage(std::FILE* to) {
    std::fputs("usage: modemsim [--profile NAME] [--scenario FILE] [--transcript FILE]\n"
               "                [--control SOCKET] [--control-fifo FIFO] [--link PATH]...\n"
               "                [--ports at,at,diag] [--set KEY=VALUE]... [--trace]\n"
               "                [--list-profiles] [--help]\n",
               to);
}

bool parse_args(int argc, char** argv, Options& o, int& exit_code) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "modemsim: %s needs a value\n", a.c_str());
                return false;
            }
            into = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            usage(stdout);
            exit_code = 0;
            return false;
        }
        if (a == "--list-profiles") {
            for (const auto& p : all_profiles())
                std::printf("%.*s\n", static_cast<int>(p.name.size()), p.name.data());
            exit_code = 0;
            return false;
        }
        bool ok = true;
        if (a == "--profile")
            ok = value(o.profile);
        else if (a == "--scenario")
            ok = value(o.scenario);
        else if (a == "--transcript")
            ok = value(o.transcript);
        else if (a == "--control")
            ok = value(o.control);
        else if (a == "--control-fifo")
            ok = value(o.control_fifo);
        else if (a == "--ports")
            ok = value(o.ports);
        else if (a == "--link")
            ok = value(v), o.links.push_back(v);
        else if (a == "--set")
            ok = value(v), o.settings.push_back(v);
        else if (a == "--trace")
            o.trace = true;
        else {
            std::fprintf(stderr, "modemsim: unknown option %s\n", a.c_str());
            usage(stderr);
            ok = false;
        }
        if (!ok) {
            exit_code = 2;
            return false;
        }
    }
    return true;
}

bool parse_ports(const std::string& list, std::vector<PortKind>& out) {
    std::stringstream ss(list);
    std::string item;
    out.clear();
    while (std::getline(ss, item, ',')) {
        if (item == "at")
            out.push_back(PortKind::At);
        else if (item == "diag")
            out.push_back(PortKind::Diag);
        else
            return false;
    }
    return !out.empty();
}

// Builds the device state: profile defaults, then the scenario, then --set, then --profile.
bool build_state(const Options& o, ModemState& st) {
    std::vector<Setting> settings;
    if (!o.scenario.empty()) {
        std::ifstream in(o.scenario, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "modemsim: cannot read %s\n", o.scenario.c_str());
            return false;
        }
        std::stringstream text;
        text << in.rdbuf();
        std::vector<std::string> errors;
        settings = parse_scenario(text.str(), errors);
        for (auto& e : errors)
            std::fprintf(stderr, "modemsim: %s: %s\n", o.scenario.c_str(), e.c_str());
        if (!errors.empty()) return false;
    }
    for (auto& s : o.settings) {
        auto eq = s.find('=');
        if (eq == std::string::npos) {
            std::fprintf(stderr, "modemsim: --set needs KEY=VALUE, got %s\n", s.c_str());
            return false;
        }
        settings.push_back({0, s.substr(0, eq), s.substr(eq + 1)});
    }
    if (!o.profile.empty()) settings.push_back({0, "profile", o.profile});
    st.profile = find_profile("huawei");
    ApplyContext ctx{true, false};
    // The profile first, since other keys do not depend on it but the ports do.
    for (auto& s : settings)
        if (s.key == "profile" && !apply_setting(st, s, ctx).empty()) {
            std::fprintf(stderr, "modemsim: unknown profile %s (see --list-profiles)\n",
                         s.value.c_str());
            return false;
        }
    for (auto& s : settings) {
        if (s.key == "profile") continue;
        std::string err = apply_setting(st, s, ctx);
        if (!err.empty()) {
            std::fprintf(stderr, "modemsim: line %d: %s\n", s.line, err.c_str());
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options opt;
    int exit_code = 0;
    if (!parse_args(argc, argv, opt, exit_code)) return exit_code;

    ModemState state;
    if (!build_state(opt, state)) return 2;
    std::vector<PortKind> kinds = state.profile->ports;
    if (!opt.ports.empty() && !parse_ports(opt.ports, kinds)) {
        std::fprintf(stderr, "modemsim: bad --ports %s (use e.g. at,at,diag)\n", opt.ports.c_str());
        return 2;
    }
    if (opt.links.size() > kinds.size()) {
        std::fprintf(stderr, "modemsim: %zu links for %zu ports\n", opt.links.size(), kinds.size());
        return 2;
    }

    Modem modem(std::move(state), kinds);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> transcript(nullptr, &std::fclose);
    if (!opt.transcript.empty()) {
        transcript.reset(std::fopen(opt.transcript.c_str(), "a"));
        if (!transcript) {
            std::fprintf(stderr, "modemsim: cannot write %s: %s\n", opt.transcript.c_str(),
                         std::strerror(errno));
            return 2;
        }
        std::FILE* f = transcript.get();
        modem.on_line = [f](int port, std::string_view line) {
            std::fprintf(f, "%d\t%.*s\n", port, static_cast<int>(line.size()), line.data());
            std::fflush(f);
        };
    }

    IoLoop loop(modem);
    std::string error;
    bool ok = loop.open_ports(error);
    for (std::size_t i = 0; ok && i < opt.links.size(); ++i)
        ok = loop.add_link(i, opt.links[i], error);
    if (ok && !opt.control.empty()) ok = loop.open_control_socket(opt.control, error);
    if (ok && !opt.control_fifo.empty()) ok = loop.open_control_fifo(opt.control_fifo, error);
    if (!ok) {
        std::fprintf(stderr, "modemsim: %s\n", error.c_str());
        loop.cleanup();
        return 1;
    }
    if (opt.trace) loop.set_trace(stderr);

    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    const auto& p = *modem.state().profile;
    std::printf("PROFILE %.*s\n", static_cast<int>(p.name.size()), p.name.data());
    for (std::size_t i = 0; i < modem.port_count(); ++i)
        std::printf("PORT %zu %s %s\n", i, kinds[i] == PortKind::Diag ? "diag" : "at",
                    loop.slave_path(i).c_str());
    for (std::size_t i = 0; i < opt.links.size(); ++i)
        std::printf("LINK %zu %s\n", i, opt.links[i].c_str());
    std::printf("READY %d\n", static_cast<int>(getpid()));
    std::fflush(stdout);

    while (!g_stop && !loop.quit_requested()) loop.run_once(100);
    loop.cleanup();
    return 0;
}
