#pragma once
// A page sink that writes down every event it receives as one line of text,
// and one that hands every event to several sinks.
#include <string>
#include <vector>

#include "base/page_events.h"

namespace morvex::testing {

struct RecordingSink : PageSink {
    struct Special {
        int32_t h = 0, v = 0;
        std::string text;
        uint64_t length = 0;
    };
    std::vector<std::string> events;
    std::vector<Special> specials;  // the selected pages' specials in full

    void pageBegin(int32_t count0, uint64_t position) override {
        add("bop " + std::to_string(count0) + " at " + std::to_string(position));
    }
    void pageEnd() override { add("eop"); }
    void fontSelect(int32_t font) override { add("font " + std::to_string(font)); }
    void character(const CharEvent& c) override {
        add(std::string(c.put ? "put " : "set ") + std::to_string(c.code) + " f" + std::to_string(c.font) + " h" +
            std::to_string(c.h) + " v" + std::to_string(c.v) + " a" + std::to_string(c.advance));
    }
    void rule(const RuleEvent& r) override {
        add(std::string(r.put ? "putrule" : "setrule") + " h" + std::to_string(r.h) + " v" + std::to_string(r.v) +
            " height" + std::to_string(r.height) + " width" + std::to_string(r.width));
    }
    void movement(int32_t h, int32_t v) override { add("move h" + std::to_string(h) + " v" + std::to_string(v)); }
    void special(const SpecialEvent& e) override {
        add("special " + std::to_string(e.length) + " " + std::string(e.text));
        specials.push_back({e.h, e.v, std::string(e.text), e.length});
    }
    void plain(PlainCommand command) override {
        switch (command) {
            case PlainCommand::Nop: add("nop"); break;
            case PlainCommand::Push: add("push"); break;
            case PlainCommand::Pop: add("pop"); break;
            case PlainCommand::FontDef: add("fntdef"); break;
        }
    }

    // The events as one text, a line each.
    std::string text() const {
        std::string s;
        for (const auto& e : events) s += e + "\n";
        return s;
    }

private:
    void add(std::string e) { events.push_back(std::move(e)); }
};

struct TeeSink : PageSink {
    std::vector<PageSink*> sinks;
    explicit TeeSink(std::vector<PageSink*> s) : sinks(std::move(s)) {}
    void pageBegin(int32_t count0, uint64_t position) override {
        for (auto* s : sinks) s->pageBegin(count0, position);
    }
    void pageEnd() override {
        for (auto* s : sinks) s->pageEnd();
    }
    void fontSelect(int32_t font) override {
        for (auto* s : sinks) s->fontSelect(font);
    }
    void character(const CharEvent& c) override {
        for (auto* s : sinks) s->character(c);
    }
    void rule(const RuleEvent& r) override {
        for (auto* s : sinks) s->rule(r);
    }
    void movement(int32_t h, int32_t v) override {
        for (auto* s : sinks) s->movement(h, v);
    }
    void special(const SpecialEvent& e) override {
        for (auto* s : sinks) s->special(e);
    }
    void unselectedSpecial(const SpecialEvent& e) override {
        for (auto* s : sinks) s->unselectedSpecial(e);
    }
    void plain(PlainCommand command) override {
        for (auto* s : sinks) s->plain(command);
    }
};

}  // namespace morvex::testing
