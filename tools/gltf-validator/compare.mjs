// Validates pairs of glTF files with the Khronos glTF Validator and fails
// when a written file has an error that the file it came from did not have.
//
//   node compare.mjs INPUT OUTPUT [INPUT OUTPUT]...
//
// Errors are compared by code and JSON pointer. A new warning is printed
// but does not fail: an edit may cause one (a skinned mesh's node given a
// local transform). External buffers and images are loaded from beside
// each file, so a URI that no longer reaches its file is an error.
import { readFile } from "node:fs/promises";
import path from "node:path";
import { createRequire } from "node:module";

const validator = createRequire(import.meta.url)("gltf-validator");

async function issues(file) {
    const bytes = new Uint8Array(await readFile(file));
    const report = await validator.validateBytes(bytes, {
        uri: file,
        maxIssues: 0,
        writeTimestamp: false,
        externalResourceFunction: (uri) =>
            readFile(path.resolve(path.dirname(file), decodeURIComponent(uri))).then((data) => new Uint8Array(data)),
    });
    const found = { errors: new Set(), warnings: new Set() };
    for (const message of report.issues.messages) {
        const key = `${message.code} ${message.pointer ?? ""}`;
        if (message.severity === 0) found.errors.add(key);
        if (message.severity === 1) found.warnings.add(key);
    }
    return found;
}

const files = process.argv.slice(2);
if (files.length === 0 || files.length % 2 !== 0) {
    console.error("usage: node compare.mjs INPUT OUTPUT [INPUT OUTPUT]...");
    process.exit(2);
}
let failed = false;
for (let i = 0; i < files.length; i += 2) {
    const [input, output] = [files[i], files[i + 1]];
    try {
        const before = await issues(input);
        const after = await issues(output);
        for (const error of after.errors) {
            if (!before.errors.has(error)) {
                console.log(`${output}: new error ${error}`);
                failed = true;
            }
        }
        for (const warning of after.warnings) {
            if (!before.warnings.has(warning)) console.log(`${output}: new warning ${warning}`);
        }
    } catch (error) {
        console.log(`${input} -> ${output}: the validator failed: ${error}`);
        failed = true;
    }
}
process.exit(failed ? 1 : 0);
