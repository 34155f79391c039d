#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "support/scripted_server.h"

namespace quorvane::testing {

// "<html>V1:..,V2:..,V3:..</html>": `count` items of the group with the given letter, item i
// reading reading(i). The input group ('I') carries the unit's "Input:" word in front.
std::string SensorGroupBody(char letter, int count, const std::function<std::string(int)>& reading);

// What a sensor unit answers to each of the four requests of a poll. The defaults are a
// healthy unit's: 12.0 / 5.0 / 3.3 V, 35.5 / 28.0 / 41.9 C, fans 2400 / 950 (its prefix in
// lower case, as some units send it) / 3000, and inputs 3, 6, 9, 12 and 15 on.
struct SensorBodies {
    std::string volt = "<html>V1:12.0,V2:5.0,V3:3.3</html>";
    std::string temp = "<html>T1:35.5,T2:28.0,T3:41.9</html>";
    std::string fan = "<html>F1:2400,f2:950,F3:3000</html>";
    std::string input = "<html>Input:I1:0,I2:0,I3:1,I4:0,I5:0,I6:1,I7:0,I8:0,I9:1,I10:0,I11:0,I12:1,I13:0,I14:0,"
                        "I15:1,I16:0</html>";

    // The body for the request with this head, by its command; anything else gets the inputs.
    const std::string& For(const std::string& requestHead) const;
};

// A 200 answer that carries the body with its length; extraHeaders are whole header lines.
std::string SensorAnswer(const std::string& body, const std::string& extraHeaders = "");

// A unit that keeps its connection: it answers up to `answers` requests on it, each with the
// body its command asks for, then waits (at most `linger`) for the client to hang up.
ScriptedServer::Script KeepAliveSensorUnit(SensorBodies bodies = {}, int answers = 4,
                                           std::chrono::milliseconds linger = std::chrono::seconds(2));

// How a unit spreads one answer out: in `pieces` parts with `pause` after each.
struct Trickle {
    int pieces = 1;
    std::chrono::milliseconds pause{0};
};

// One connection to a unit that closes after each answer: it takes one request, answers it
// with "Connection: close" and closes.
ScriptedServer::Script ClosingSensorAnswer(SensorBodies bodies = {}, Trickle trickle = {});
// The four connections one poll of such a unit makes.
std::vector<ScriptedServer::Script> ClosingSensorUnit(const SensorBodies& bodies = {}, Trickle trickle = {});

}  // namespace quorvane::testing
