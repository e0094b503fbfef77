#include "io_loop.h"
#include "modem.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace modemsim;

namespace {

// Pumps the loop until the client side has read `want` or the rounds run out.
std::string exchange(IoLoop& loop, int fd, std::string_view command, std::string_view want) {
    EXPECT_EQ(::write(fd, command.data(), command.size()), static_cast<ssize_t>(command.size()));
    std::string got;
    for (int round = 0; round < 50 && got.find(want) == std::string::npos; ++round) {
        loop.run_once(20);
        char buf[512];
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
}

} // namespace

TEST(Pty, AnswersOverARealPseudoTerminalAcrossReopens) {
    ModemState st;
    st.profile = find_profile("huawei");
    Modem modem(st, {PortKind::At, PortKind::At});
    IoLoop loop(modem);
    std::string error;
    ASSERT_TRUE(loop.open_ports(error)) << error;

    auto link = std::filesystem::temp_directory_path() /
                ("modemsim-test-" + std::to_string(getpid())) / "by-id" / "usb-HUAWEI-if02-port0";
    ASSERT_TRUE(loop.add_link(1, link.string(), error)) << error;
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), loop.slave_path(1));

    int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(exchange(loop, fd, "AT\r", "OK\r\n"), "AT\r\r\nOK\r\n");
    ::close(fd);
    loop.run_once(20); // notices the hang-up

    fd = ::open(loop.slave_path(1).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(exchange(loop, fd, "ATE0\r", "OK\r\n"), "ATE0\r\r\nOK\r\n");
    EXPECT_EQ(exchange(loop, fd, "AT+CGMM\r", "OK\r\n"), "\r\nE220\r\n\r\nOK\r\n");
    ::close(fd);

    loop.cleanup();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    std::filesystem::remove_all(link.parent_path().parent_path());
}
