// The client program: parses the command line, opens the local file and the socket,
// and runs the transfer state machine until it ends.
#include "tftp/cmdline.h"
#include "tftp/platform.h"
#include "tftp/transfer.h"

namespace tftp {

namespace {

constexpr std::uint16_t kServerPort = 69;

// Fixed-point text without printf: the Windows build stays small without its formatter.
std::string Decimal(std::uint64_t thousandths, int decimals) {
    std::string whole = std::to_string(thousandths / 1000);
    std::string fraction = std::to_string(1000 + thousandths % 1000).substr(1, decimals);
    return decimals > 0 ? whole + "." + fraction : whole;
}

std::string SuccessLine(std::uint64_t bytes, Millis elapsed) {
    const std::uint64_t ms = elapsed > 0 ? static_cast<std::uint64_t>(elapsed) : 1;
    // KiB/s in thousandths: bytes / 1024 / (ms / 1000) * 1000
    const std::uint64_t rate = bytes / ms * 1000000 / 1024 + bytes % ms * 1000000 / ms / 1024;
    return "Transfer successful: " + std::to_string(bytes) + " bytes in " + Decimal(ms, 3) +
           " seconds, " + Decimal(rate, 1) + " KiB/s";
}

Settings SettingsFor(const CommandLine& cl) {
    Settings settings;
    settings.direction = cl.direction;
    settings.mode = cl.mode;
    settings.remoteName = cl.direction == Direction::Put ? cl.destination : cl.source;
    settings.blockSize = cl.blockSize;
    settings.windowSize = cl.windowSize;
    settings.tsize = cl.tsize;
    settings.initialTimeout = cl.timeout;
    settings.linger = cl.timeout;
    return settings;
}

// Runs the transfer over the socket until it ends. output is the file a GET writes
// (null for a PUT), local the path given for it; the exit code.
int Drive(Transfer& transfer, sys::UdpSocket& socket, sys::OutputFile* output,
          const std::string& local, bool verbose) {
    const Millis start = sys::Now();
    bool reported = false;
    std::vector<std::uint8_t> buffer;
    Peer from;
    transfer.Start(start);
    for (;;) {
        for (const Datagram& d : transfer.TakeOutgoing()) {
            // A failed send is treated like a lost datagram: the timer decides.
            socket.Send(d);
        }
        if (verbose) {
            for (const std::string& note : transfer.TakeNotes()) {
                sys::PrintLine(true, note);
            }
        }
        if (transfer.Complete() && !reported) {
            const Millis finishedAt = sys::Now();
            if (output != nullptr && !output->Commit()) {
                sys::PrintLine(true, "Cannot write local file " + local);
                return 1;
            }
            sys::PrintLine(false, SuccessLine(transfer.LocalBytes(), finishedAt - start));
            reported = true;
        }
        if (transfer.Finished()) {
            break;
        }
        const Millis wait = transfer.Deadline() - sys::Now();
        if (socket.Receive(wait > 0 ? wait : 0, from, buffer) > 0) {
            transfer.Receive(sys::Now(), from, buffer.data(), buffer.size());
        }
        transfer.Tick(sys::Now());
    }
    if (verbose && transfer.Retransmissions() != 0) {
        sys::PrintLine(true, std::to_string(transfer.Retransmissions()) + " timeouts");
    }
    if (transfer.Result() != TransferResult::Succeeded) {
        sys::PrintLine(true, transfer.Error());
        return 1;
    }
    return 0;
}

} // namespace

int RunClient(const std::vector<std::string>& args, bool windowsPaths) {
    const CommandLine cl = ParseCommandLine(args, windowsPaths);
    if (args.empty() || !cl.usageError.empty()) {
        if (!cl.usageError.empty()) {
            sys::PrintLine(true, cl.usageError);
        }
        sys::PrintLine(true, kUsage);
        return 2;
    }
    if (cl.help) {
        sys::PrintLine(false, kUsage);
        return 0;
    }
    Settings settings = SettingsFor(cl);
    if (cl.verbose && cl.tsize && cl.mode != Mode::Octet) {
        sys::PrintLine(true, "tsize is not asked for in netascii mode");
    }

    const bool put = cl.direction == Direction::Put;
    sys::InputFile input;
    sys::OutputFile output;
    const std::string& local = put ? cl.source : cl.destination;
    if (put ? !input.Open(local) : !output.Create(local)) {
        sys::PrintLine(true, "Cannot open local file " + local);
        return 1;
    }
    settings.localSize = input.Size();

    sys::UdpSocket socket;
    std::string error;
    if (!socket.Open(cl.host, kServerPort, settings.server, error)) {
        sys::PrintLine(true, error);
        return 1;
    }
    Transfer transfer(settings, put ? &input : nullptr, put ? nullptr : &output);
    return Drive(transfer, socket, put ? nullptr : &output, local, cl.verbose);
}

} // namespace tftp
