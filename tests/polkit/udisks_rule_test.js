// The udisks rule run as polkitd runs it, with a stand-in `polkit` object: its spawn reads the
// service's file from the test's own folder instead of /run/zentimo.
"use strict";
const assert = require("assert");
const fs = require("fs");
const os = require("os");
const path = require("path");

const [rulePath] = process.argv.slice(2);
const run = fs.mkdtempSync(path.join(os.tmpdir(), "zen-polkit-"));
const forbiddenFile = path.join(run, "media-forbidden");

const rules = [];
const polkit = {
    Result: { YES: "yes", NO: "no", NOT_HANDLED: null },
    addRule(rule) { rules.push(rule); },
    spawn(argv) {
        assert.deepStrictEqual(argv, ["/bin/cat", "/run/zentimo/media-forbidden"]);
        return fs.readFileSync(forbiddenFile, "utf8");  // throws when missing, as cat fails
    },
};
new Function("polkit", fs.readFileSync(rulePath, "utf8"))(polkit);
assert.strictEqual(rules.length, 1);

// udisks' own answer for the active local user, when no rule decides.
const kDefault = "yes";
function answer(id, details, user) {
    const action = { id, lookup: (key) => details[key] };
    const result = rules[0](action, { user, local: true, active: true });
    return result === null ? kDefault : result;
}
const stick = { "drive.removable": "true", "drive.removable.media": "thumb" };
const dvd = { "drive.removable": "true", "drive.removable.media": "optical_dvd" };
const disk = { "drive.removable": "false" };
const mount = "org.freedesktop.udisks2.filesystem-mount";

const cases = [
    // [what, file contents (null: none), action, details, user, answer]
    ["stick forbidden for the kid", "removable kid\n", mount, stick, "kid", "no"],
    ["on another seat too", "removable kid\n", mount + "-other-seat", stick, "kid", "no"],
    ["stick allowed for the kid", "", mount, stick, "kid", "yes"],
    ["a parent at any time", "removable kid\noptical kid\n", mount, stick, "mum", "yes"],
    ["DVD forbidden for the kid", "optical kid\n", mount, dvd, "kid", "no"],
    ["DVD allowed while sticks are not", "removable kid\n", mount, dvd, "kid", "yes"],
    ["a fixed disk is not ruled", "removable kid\n", mount, disk, "kid", "yes"],
    ["a name that only starts alike", "removable kid\n", mount, stick, "kidd", "yes"],
    ["other actions are not ruled", "removable kid\n", "org.freedesktop.udisks2.eject-media",
     stick, "kid", "yes"],
    ["no file: the service is not running", null, mount, stick, "kid", "yes"],
];
for (const [what, contents, id, details, user, expected] of cases) {
    if (contents === null) {
        fs.rmSync(forbiddenFile, { force: true });
    } else {
        fs.writeFileSync(forbiddenFile, contents);
    }
    assert.strictEqual(answer(id, details, user), expected, what);
}
fs.rmSync(run, { recursive: true });
console.log(`${cases.length} cases passed`);
