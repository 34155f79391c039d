#include "support/scripted_sensor_unit.h"

namespace quorvane::testing {

std::string SensorGroupBody(char letter, int count, const std::function<std::string(int)>& reading) {
    std::string body = letter == 'I' ? "<html>Input:" : "<html>";
    for (int i = 1; i <= count; ++i) {
        if (i > 1) body += ',';
        body += letter + std::to_string(i) + ":" + reading(i);
    }
    return body + "</html>";
}

const std::string& SensorBodies::For(const std::string& requestHead) const {
    if (requestHead.find("cmd=GetVolt ") != std::string::npos) return volt;
    if (requestHead.find("cmd=GetTemp ") != std::string::npos) return temp;
    if (requestHead.find("cmd=GetFan ") != std::string::npos) return fan;
    return input;
}

std::string SensorAnswer(const std::string& body, const std::string& extraHeaders) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + extraHeaders + "\r\n" + body;
}

ScriptedServer::Script KeepAliveSensorUnit(SensorBodies bodies, int answers, std::chrono::milliseconds linger) {
    return [bodies = std::move(bodies), answers, linger](ScriptedPeer& peer) {
        for (int i = 0; i < answers; ++i) {
            const std::string head = peer.ReceiveUntil();
            if (head.empty()) return;
            peer.Send(SensorAnswer(bodies.For(head)));
        }
        peer.WaitForClose(linger);
    };
}

ScriptedServer::Script ClosingSensorAnswer(SensorBodies bodies, Trickle trickle) {
    return [bodies = std::move(bodies), trickle](ScriptedPeer& peer) {
        const std::string head = peer.ReceiveUntil();
        if (head.empty()) return;
        const std::string answer = SensorAnswer(bodies.For(head), "Connection: close\r\n");
        const size_t pieces = trickle.pieces > 1 ? static_cast<size_t>(trickle.pieces) : 1;
        peer.SendInPieces(answer, (answer.size() + pieces - 1) / pieces, trickle.pause);
        peer.Close();
    };
}

std::vector<ScriptedServer::Script> ClosingSensorUnit(const SensorBodies& bodies, Trickle trickle) {
    return std::vector<ScriptedServer::Script>(4, ClosingSensorAnswer(bodies, trickle));
}

}  // namespace quorvane::testing
