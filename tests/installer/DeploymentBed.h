// The install sequence on the engine alone: a plan as the parameters page
// would give it, carried out by an engine run that reports to a recording
// user. Ports 47120 to 47129.
#pragma once

#include <cstdio>

#include "RecordingUi.h"
#include "SequenceBed.h"
#include "engine/Engine.h"
#include "environment/Instances.h"

class DeploymentTest : public sequencebed::SequenceBed {
protected:
    using Outcome = engine::Outcome;

    DeploymentTest() : SequenceBed(47120) {}
    void SetUp() override {
        SequenceBed::SetUp();
        ASSERT_TRUE(run_.TakeGuard());
    }

    // "Dokončiť" with the server to install, or with the one in fb_ kept.
    Outcome Run(bool installServer, const std::wstring& port,
                const outside::ServerMode& mode = outside::kModeSuper) {
        engine::Plan plan;
        plan.installServer = installServer;
        plan.appDir = plan.shownAppDir = app_;
        plan.serverDir = fb_;
        plan.port = *environment::Port::Parse(port);
        plan.mode = &mode;
        const Outcome outcome = run_.Install(plan);
        ui_.Told(outcome);
        // Why, in the log, for a failure a case did not expect.
        if (outcome.kind == Outcome::kFailed)
            std::printf("  (failed: %s)\n", testsupport::ToUtf8(outcome.sentence).c_str());
        return outcome;
    }
    Outcome::Kind Install(const std::wstring& port) { return Run(true, port).kind; }
    Outcome::Kind Keep(const std::wstring& port,
                       const outside::ServerMode& mode = outside::kModeSuper) {
        return Run(false, port, mode).kind;
    }

    std::wstring NoRunMarker() const {
        return app_ + outside::kCompsDir + outside::kNoRunPrefix +
               environment::ReadComputerName([](const std::wstring& m) {
                   ADD_FAILURE() << testsupport::ToUtf8(m);
               });
    }

    RecordingUi ui_;
    engine::EngineRun run_{places_.Places(), ui_};
};
