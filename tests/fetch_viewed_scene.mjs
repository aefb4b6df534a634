// Fetches, from the viewer at the address given, the page, the scene that
// its state names and every file that the scene refers to (buffers,
// images), each of which must be served. Exits 1, saying which, if not.
const address = process.argv[2];
const token =
    new URL(address).searchParams.get('token') ?? new URLSearchParams(new URL(address).hash.slice(1)).get('token');
const headers = {Authorization: `Bearer ${token}`};

async function get(url) {
    const answer = await fetch(url, {headers});
    if (answer.status !== 200) {
        throw new Error(`${url}: HTTP ${answer.status} ${await answer.text()}`);
    }
    return answer;
}

try {
    const origin = new URL(address).origin;
    await get(`${origin}/`);
    const state = await (await get(`${origin}/api/state`)).json();
    if (!state.scene) {
        throw new Error('the state names no scene');
    }
    const sceneUrl = new URL(state.scene, `${origin}/`);
    const gltf = await (await get(sceneUrl)).json();
    const uris = [...(gltf.buffers ?? []), ...(gltf.images ?? [])]
        .map((entry) => entry.uri)
        .filter((uri) => uri && !uri.startsWith('data:'));
    for (const uri of uris) {
        await get(new URL(uri, sceneUrl));
    }
    console.log(`served the scene and the ${uris.length} file(s) it refers to`);
} catch (error) {
    console.error(`viewer: ${error.message}`);
    process.exit(1);
}
